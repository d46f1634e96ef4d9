#pragma once

#include "FakeDialogs.h"
#include "ListClicks.h"
#include "TestStore.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace testing_support {

// A screen of the store's own, shown over a fresh store file with its boxes answered by
// FakeDialogs, and driven through its controls' names as the operator would.
template <typename Screen> struct ScreenFixture : ::testing::Test
{
    TempFolder folder;
    FakeDialogs dialogs;
    store::Database db = openTestStore(folder.storePath());
    std::unique_ptr<Screen> screen;

    void SetUp() override { open(); }

    void open()
    {
        screen = std::make_unique<Screen>(db, dialogs);
        screen->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(screen.get()));
    }

    template <typename Widget = QLineEdit> Widget* get(const QString& name) const
    {
        auto* widget = screen->template findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    void click(const QString& name) const { get<QPushButton>(name)->click(); }
    void type(const QString& field, const QString& text) const
    {
        get(field)->clear();
        QTest::keyClicks(get(field), text);
    }
    qint64 count(const QString& sql) const { return scalarOf(db, sql); }
};

} // namespace testing_support
