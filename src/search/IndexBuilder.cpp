#include "search/IndexBuilder.h"

#include "browser/FrmMain.h"
#include "store/Library.h"
#include "store/StoreError.h"

#include <QProgressBar>
#include <QTimer>

namespace search {

namespace {
// Each step holds the library's write lock and the window's thread for about this long.
constexpr int kStepMs = 20;
// A pause between steps leaves the processor to the user's own work.
constexpr int kPauseMs = 5;
// After a failed step (the library busy with another program) try again later.
constexpr int kRetryMs = 1000;
} // namespace

IndexBuilder::IndexBuilder(browser::FrmMain *main)
    : QObject(main)
    , m_main(main)
    , m_index(main->library().searchIndex())
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(kPauseMs);
    connect(m_timer, &QTimer::timeout, this, &IndexBuilder::step);
    m_index.setBuildListener([this] { m_timer->start(kPauseMs); });
    if (m_index.hasWork())
        m_timer->start(kPauseMs);
}

IndexBuilder::~IndexBuilder() { m_index.setBuildListener({}); }

bool IndexBuilder::isBuilding() const { return m_timer->isActive(); }

void IndexBuilder::step()
{
    bool more = false;
    try {
        more = m_index.buildStep(kStepMs);
    } catch (const store::StoreError &) {
        // Busy or inside another transaction: the scan serves meanwhile.
        m_timer->start(kRetryMs);
        return;
    }
    QProgressBar *bar = m_main->ProgressBar1();
    if (more) {
        // Folding in a bulk change takes seconds at most and shows nothing; building does.
        if (m_index.status() == store::SearchIndex::Status::Building) {
            m_main->showProgressOverCountPanel();
            bar->setToolTip(QStringLiteral("جارٍ إعداد فهرس البحث..."));
            bar->setValue(int(m_index.buildProgress() * 100));
            m_showing = true;
        }
        m_timer->start(kPauseMs);
        return;
    }
    if (m_showing) {
        bar->setToolTip(QString());
        m_main->hideProgress();
        m_showing = false;
    }
    emit finished();
}

} // namespace search
