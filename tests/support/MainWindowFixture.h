#pragma once
// For the tests that drive the main window: a fresh library for every test function and a main
// window over it, loaded, shown and exposed.
#include "TestSupport.h"

#include "browser/FrmMain.h"

#include <QModelIndexList>
#include <functional>
#include <memory>

class QAbstractItemModel;

namespace testing {

// Every node of the tree's model, each before its children, in the order shown.
QModelIndexList treeNodes(const QAbstractItemModel *model);

class MainWindowFixture
{
protected:
    // The seams switched on afresh and an empty library opened; for init().
    void openLibrary();
    // A new window over the library; `install` wires commands into it before it loads.
    void openMain(const std::function<void(browser::FrmMain &)> &install = {});
    // The window first, then the library; for cleanup().
    void closeAll();

    std::unique_ptr<TempLibrary> lib;
    std::unique_ptr<browser::FrmMain> main;
};

} // namespace testing
