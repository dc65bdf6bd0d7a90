#include "MainWindowFixture.h"

#include <QAbstractItemModel>

namespace testing {

QModelIndexList treeNodes(const QAbstractItemModel *model)
{
    QModelIndexList nodes;
    const std::function<void(const QModelIndex &)> walk = [&](const QModelIndex &parent) {
        for (int i = 0; i < model->rowCount(parent); ++i) {
            const QModelIndex child = model->index(i, 0, parent);
            nodes.append(child);
            walk(child);
        }
    };
    walk({});
    return nodes;
}

void MainWindowFixture::openLibrary()
{
    resetSeams();
    lib = std::make_unique<TempLibrary>();
}

void MainWindowFixture::openMain(const std::function<void(browser::FrmMain &)> &install)
{
    main = std::make_unique<browser::FrmMain>(testing::library());
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
