#pragma once
// What the test seams of the platform's modal windows share. While a seam is enabled its window
// is never shown: each request is recorded and answered from a script, first in, first out.
#include <QList>

namespace platform {

// Seam is the class deriving from this one, so that every seam keeps a state of its own.
template <class Seam, class Request, class Answer>
class TestSeam
{
public:
    static void enable(bool on = true) { state().enabled = on; }
    static bool enabled() { return state().enabled; }
    static void clear()
    {
        state().answers.clear();
        state().requests.clear();
    }
    static const QList<Request> &requests() { return state().requests; }

    // For the function the seam stands in for.
    static void record(const Request &request) { state().requests.append(request); }
    static Answer takeAnswer(const Answer &unscripted)
    {
        return state().answers.isEmpty() ? unscripted : state().answers.takeFirst();
    }

protected:
    static void script(const Answer &answer) { state().answers.append(answer); }

private:
    struct State {
        bool enabled = false;
        QList<Answer> answers;
        QList<Request> requests;
    };
    static State &state()
    {
        static State s;
        return s;
    }
};

} // namespace platform
