#include "MainWindowFixture.h"

namespace testing {

void MainWindowFixture::openLibrary()
{
    resetSeams();
    lib = std::make_unique<TempLibrary>();
}

void MainWindowFixture::openMain(const std::function<void(browser::FrmMain &)> &install)
{
    main = std::make_unique<browser::FrmMain>();
    if (install)
        install(*main);
    main->load();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
}

void MainWindowFixture::closeAll()
{
    main.reset();
    lib.reset();
}

} // namespace testing
