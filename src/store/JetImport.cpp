#include "store/JetImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>

namespace store {

namespace {

const QString kHelperName = QStringLiteral("tamrisk-jet-import");
const QByteArray kReasonPrefix = "tamrisk-jet-import: ";
constexpr int kTimeFloorMs = 5000;
constexpr qint64 kTailBytes = 4096;
constexpr int kDamagedExit = 3; // the helper could not read some part of the file whole

QString g_testProgram;
int g_testTimeLimitMs = 0;

QString shown(const QString &path) { return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()); }

StoreError failure(const QString &path, const QString &reason)
{
    return StoreError(QStringLiteral("تعذرت قراءة الملف \"%1\": %2").arg(shown(path), reason));
}

// The helper's own reason is its last line that starts with its name.
QString helperReason(const QByteArray &stderrTail)
{
    const QList<QByteArray> lines = stderrTail.split('\n');
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (it->startsWith(kReasonPrefix))
            return QString::fromUtf8(it->mid(kReasonPrefix.size())).trimmed();
    return {};
}

void reportProgress(QByteArray &pending, const JetProgress &progress)
{
    qsizetype end;
    while ((end = pending.indexOf('\n')) >= 0) {
        const QList<QByteArray> words = pending.left(end).trimmed().split(' ');
        pending.remove(0, end + 1);
        if (progress && words.size() == 3 && words[0] == "progress")
            progress(words[1].toLongLong(), words[2].toLongLong());
    }
}

} // namespace

bool isJetFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(0x15);
    // Page 0: a 4-byte page id, the engine's name, then the version (0 Jet 3, 1 Jet 4, 2+ later engines).
    return header.size() == 0x15 && header.mid(4, 16) == QByteArray("Standard Jet DB\0", 16) && header.at(0x14) == 1;
}

JetCopy::JetCopy(std::unique_ptr<QTemporaryDir> dir)
    : m_dir(std::move(dir))
{ }
JetCopy::JetCopy(JetCopy &&) noexcept = default;
JetCopy &JetCopy::operator=(JetCopy &&) noexcept = default;
JetCopy::~JetCopy() = default;

QString JetCopy::path() const { return m_dir ? m_dir->filePath(QStringLiteral("jet.sqlite")) : QString(); }

int jetImportTimeLimitMs(qint64 fileSize)
{
    return static_cast<int>(std::clamp<qint64>(fileSize / 1024 * 4, kTimeFloorMs, std::numeric_limits<int>::max()));
}

QString jetHelperPath()
{
    if (!g_testProgram.isEmpty())
        return g_testProgram;
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QString here = QCoreApplication::applicationDirPath();
        candidates << here + QLatin1Char('/') + kHelperName
                   << QDir::cleanPath(here + QStringLiteral("/" TAMRISK_HELPER_FROM_BINDIR "/") + kHelperName);
    }
    candidates << QStringLiteral(TAMRISK_HELPER_IN_BUILD);
    for (const QString &c : candidates) {
        const QFileInfo info(c);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return {};
}

void setJetHelperForTests(const QString &program, int timeLimitMs)
{
    g_testProgram = program;
    g_testTimeLimitMs = timeLimitMs;
}

JetCopy importJetFile(const QString &jetPath, const QStringList &tables, const JetProgress &progress)
{
    const QFileInfo info(jetPath);
    if (!info.isFile())
        throw StoreError(QStringLiteral("الملف \"%1\" غير موجود").arg(shown(jetPath)));
    if (!isJetFile(jetPath))
        throw StoreError(QStringLiteral("الملف \"%1\" ليس قاعدة بيانات بصيغة Jet 4.0").arg(shown(jetPath)));
    const QString helper = jetHelperPath();
    if (helper.isEmpty())
        throw failure(jetPath, QStringLiteral("برنامج القراءة %1 غير موجود").arg(kHelperName));
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        throw failure(jetPath, QStringLiteral("تعذر إنشاء مجلد مؤقت"));
    JetCopy copy(std::move(dir));

    QProcess process;
    process.setProgram(helper);
    process.setArguments(QStringList{info.absoluteFilePath(), copy.path()} + tables);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted())
        throw failure(jetPath, QStringLiteral("تعذر تشغيل برنامج القراءة (%1)").arg(process.errorString()));

    const int limit = g_testTimeLimitMs > 0 ? g_testTimeLimitMs : jetImportTimeLimitMs(info.size());
    QElapsedTimer clock;
    clock.start();
    QByteArray pending, stderrTail;
    bool timedOut = false;
    while (process.state() != QProcess::NotRunning) {
        process.waitForFinished(50);
        pending += process.readAllStandardOutput();
        reportProgress(pending, progress);
        // Only the end of what the parser prints is of use, and it may print without end.
        stderrTail = (stderrTail + process.readAllStandardError()).right(kTailBytes);
        if (process.state() != QProcess::NotRunning && clock.elapsed() > limit) {
            timedOut = true;
            process.kill();
            process.waitForFinished(-1);
        }
    }
    pending += process.readAllStandardOutput() + '\n';
    reportProgress(pending, progress);
    stderrTail = (stderrTail + process.readAllStandardError()).right(kTailBytes);

    if (timedOut)
        throw StoreError(QStringLiteral("لم تنته قراءة الملف \"%1\" خلال %2 ثانية فأوقفت، والملف تالف على الأرجح")
                             .arg(shown(jetPath))
                             .arg((limit + 999) / 1000));
    if (process.exitStatus() == QProcess::CrashExit)
        throw StoreError(QStringLiteral("توقف برنامج القراءة فجأة أثناء قراءة الملف \"%1\"، والملف تالف على الأرجح")
                             .arg(shown(jetPath)));
    if (process.exitCode() == kDamagedExit) {
        const QString reason = helperReason(stderrTail);
        throw StoreError(QStringLiteral("الملف \"%1\" تالف، فلم يؤخذ منه شيء: %2")
                             .arg(shown(jetPath), reason.isEmpty() ? QStringLiteral("تعذرت قراءة جزء منه") : reason));
    }
    if (process.exitCode() != 0) {
        const QString reason = helperReason(stderrTail);
        throw failure(jetPath, reason.isEmpty()
                                   ? QStringLiteral("انتهى برنامج القراءة برمز الخطأ %1").arg(process.exitCode())
                                   : reason);
    }
    if (!QFileInfo(copy.path()).isFile())
        throw failure(jetPath, QStringLiteral("لم يكتب برنامج القراءة شيئاً"));
    return copy;
}

} // namespace store
