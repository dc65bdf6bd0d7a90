#include "exchange/Commands.h"

#include "about/Effects.h"
#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "exchange/Compact.h"
#include "exchange/FrmCreateUpdate.h"
#include "exchange/FrmUpdate.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Guarded.h"
#include "platform/WaitCursor.h"
#include "store/Backup.h"
#include "store/Library.h"
#include "store/StoreError.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QTabBar>
#include <QThread>

#include <functional>

namespace exchange {

namespace {

// A package may add many rows: the library as it was is kept first, or nothing is applied.
bool backedUpBeforeApplying(browser::FrmMain &main)
{
    return platform::runGuarded(&main, [&main] {
        const platform::WaitCursor wait;
        store::keepBackup(main.library(), store::BackupReason::Package);
    });
}

} // namespace

void compactCommand(browser::FrmMain &main)
{
    main.showProgressOverCountPanel();
    QString failure;
    try {
        const platform::WaitCursor wait;
        compactLibrary(main.library());
    } catch (const store::StoreError &e) {
        failure = e.message();
    }
    // The bar only tells the user that the work is over; it fills in about half a second.
    QProgressBar *bar = main.ProgressBar1();
    for (int i = 1; i <= 100; ++i) {
        bar->setValue(i);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(5);
    }
    main.updateCount();
    main.hideProgress();
    if (!failure.isEmpty())
        messages::showError(&main, failure);
}

void createPackageCommand(browser::FrmMain &main)
{
    main.rebuildTree([&main] {
        FrmCreateUpdate dialog(main.library(), &main);
        dialog.exec();
    });
    about::RepaintControl(main.TS1());
}

namespace {

// The one way a package is applied from the window, whoever names the file.
void applyPackage(browser::FrmMain &main, const std::function<bool(FrmUpdate &)> &load)
{
    main.rebuildTree([&main, &load] {
        FrmUpdate dialog(main.library(), &main);
        if (load(dialog) && backedUpBeforeApplying(main))
            dialog.exec();
    });
    about::RepaintControl(main.TS1());
    main.updateCount();
}

} // namespace

void applyPackageCommand(browser::FrmMain &main)
{
    applyPackage(main, [](FrmUpdate &dialog) { return dialog.load(); });
}

void applyPackageFile(browser::FrmMain &main, const QString &path)
{
    applyPackage(main, [&path](FrmUpdate &dialog) { return dialog.load(path); });
}

void installCommands(browser::FrmMain &main)
{
    main.onCommand(browser::cmd::mnuCompDbas, compactCommand);
    main.onCommand(browser::cmd::mnuCreateUpDat, createPackageCommand);
    main.onCommand(browser::cmd::mnuUpDat, applyPackageCommand);
}

} // namespace exchange
