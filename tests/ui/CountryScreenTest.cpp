#include "CountryDialog.h"
#include "CountryTable.h"
#include "FakeDialogs.h"
#include "Gateway.h"
#include "ListClicks.h"
#include "MainWindow.h"
#include "ScreenFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;

namespace {

struct CountryScreenTest : testing_support::ScreenFixture<ui::CountryDialog>
{
    QTreeWidget* list() const { return get<QTreeWidget>(u"lvwCountry"_s); }
    QTreeWidgetItem* row(const QString& name) const { return testing_support::rowNamed(list(), name); }
    // Fills the fields as the operator would and saves.
    void add(const QString& name, const QString& code, bool isDefault = false)
    {
        type(u"txtCountryName"_s, name);
        type(u"txtCountryCode"_s, code);
        get<QCheckBox>(u"chkDefault"_s)->setChecked(isDefault);
        click(u"cmdSave"_s);
    }
    std::optional<store::CountryRow> stored(const QString& name) const
    {
        auto all = store::CountryTable(db).all();
        for (const auto& country : all.value_or(std::vector<store::CountryRow>{})) {
            if (country.name == name)
                return country;
        }
        return std::nullopt;
    }
};

} // namespace

TEST_F(CountryScreenTest, CodeFieldRefusesWhatIsNoDiallingCode)
{
    EXPECT_EQ(screen->windowTitle(), u"Country"_s);
    const struct
    {
        QString text;
        QString message; // empty: accepted
    } cases[] = {
        {u"12a"_s, u"Please enter numeric value."_s},
        {u"1e5"_s, u"Please enter numeric value."_s}, // a number, but not a code
        {u"$12"_s, u"Doller sign is not allowed in country code."_s},
        {u"1,000"_s, u"Quma is not allowed in country code."_s},
        {u"-12"_s, u"Minus sign is not allowed in country code."_s},
        {u"+12"_s, u"Plus sign is not allowed in country code."_s},
        {u"1.5"_s, u"Decimal value is not allowed in country code."_s},
        // The first rule broken is the one told.
        {u"$-1"_s, u"Doller sign is not allowed in country code."_s},
        {u"1,2.5"_s, u"Quma is not allowed in country code."_s},
        {u"-1.5"_s, u"Minus sign is not allowed in country code."_s},
        {u"+1.5"_s, u"Plus sign is not allowed in country code."_s},
        {u" 44 "_s, QString()},
        {u"   "_s, QString()},
    };
    QLineEdit* code = get(u"txtCountryCode"_s);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        dialogs.texts.clear();
        code->setText(c.text);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(dialogs.texts.isEmpty());
            EXPECT_EQ(code->text(), c.text);
        } else {
            EXPECT_EQ(dialogs.texts, QStringList{c.message});
            EXPECT_TRUE(code->text().isEmpty());
            EXPECT_EQ(screen->focusWidget(), code);
        }
    }

    // Typed key by key, a plus in front is refused at the plus; the digits after it stay.
    dialogs.texts.clear();
    type(u"txtCountryCode"_s, u"+49"_s);
    EXPECT_EQ(dialogs.texts.size(), 1);
    EXPECT_EQ(code->text(), u"49"_s);
}

TEST_F(CountryScreenTest, AddingKeepsTheNameAsTypedAndTheCodeTrimmed)
{
    add(u"  O'Brien Islands  "_s, u" 6921 "_s);
    EXPECT_TRUE(dialogs.texts.isEmpty()) << dialogs.lastText().toStdString();
    const auto country = stored(u"O'Brien Islands"_s);
    ASSERT_TRUE(country);
    EXPECT_EQ(country->code, u"6921"_s);
    EXPECT_FALSE(country->isDefault);
    // Opened again: listed, the fields empty, adding.
    QTreeWidgetItem* item = row(u"O'Brien Islands"_s);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(1), u"6921"_s);
    EXPECT_EQ(item->text(3), u"No"_s);
    EXPECT_TRUE(get(u"txtCountryName"_s)->text().isEmpty());
    EXPECT_FALSE(screen->isEditing());

    // Without a code the country has none, and shows an empty cell.
    add(u"Atlantis"_s, QString());
    EXPECT_TRUE(stored(u"Atlantis"_s)->code.isNull());
    EXPECT_TRUE(row(u"Atlantis"_s)->text(1).isEmpty());
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Country WHERE CountryName='Atlantis'"_s), 1);
}

TEST_F(CountryScreenTest, SaveRefusals)
{
    const qint64 before = count(u"SELECT COUNT(*) FROM Country"_s);
    const struct
    {
        const char* name;
        QString typedName;
        QString message;
        QString focus;
        QString nameLeft;
    } cases[] = {
        {"no name", u"   "_s, u"Please Enter Country Name."_s, u"txtCountryName"_s, u"   "_s},
        {"a name taken", u"India"_s, u"This country already exist!!!"_s, u"txtCountryName"_s, QString()},
        {"taken, blanks around", u" India "_s, u"This country already exist!!!"_s, u"txtCountryName"_s, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.texts.clear();
        add(c.typedName, u"91"_s);
        EXPECT_EQ(dialogs.texts, QStringList{c.message});
        EXPECT_EQ(screen->focusWidget(), get(c.focus));
        EXPECT_EQ(get(u"txtCountryName"_s)->text(), c.nameLeft);
    }
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Country"_s), before);
}

TEST_F(CountryScreenTest, ClickingANameEditsThatCountry)
{
    add(u"O'Brien Islands"_s, u"6921"_s, true);
    QTreeWidgetItem* item = row(u"O'Brien Islands"_s);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(3), u"Yes"_s);
    testing_support::clickCell(list(), item, 0);
    ASSERT_TRUE(screen->isEditing());
    EXPECT_EQ(get(u"txtCountryName"_s)->text(), u"O'Brien Islands"_s);
    EXPECT_EQ(get(u"txtCountryCode"_s)->text(), u"6921"_s);
    EXPECT_TRUE(get<QCheckBox>(u"chkDefault"_s)->isChecked());
    const qint64 id = stored(u"O'Brien Islands"_s)->id;
    EXPECT_EQ(get(u"txtCountryId"_s)->text(), QString::number(id));

    // Saved under its own name, with the code field emptied: allowed, and the code stays.
    get(u"txtCountryCode"_s)->clear();
    click(u"cmdSave"_s);
    EXPECT_TRUE(dialogs.texts.isEmpty()) << dialogs.lastText().toStdString();
    ASSERT_TRUE(store::CountryTable(db).row(id).value());
    EXPECT_EQ(store::CountryTable(db).row(id).value()->code, u"6921"_s);
    EXPECT_TRUE(store::CountryTable(db).row(id).value()->isDefault);
    EXPECT_FALSE(screen->isEditing());

    // Renamed and given a new code: the same row changes.
    testing_support::clickCell(list(), row(u"O'Brien Islands"_s), 1);
    type(u"txtCountryName"_s, u"Brien"_s);
    type(u"txtCountryCode"_s, u"6922"_s);
    click(u"cmdSave"_s);
    const auto renamed = store::CountryTable(db).row(id).value();
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->name, u"Brien"_s);
    EXPECT_EQ(renamed->code, u"6922"_s);
    EXPECT_FALSE(stored(u"O'Brien Islands"_s));

    // Renamed to another country's name: refused, nothing changes.
    testing_support::clickCell(list(), row(u"Brien"_s), 0);
    type(u"txtCountryName"_s, u"India"_s);
    click(u"cmdSave"_s);
    EXPECT_EQ(dialogs.lastText(), u"This country already exist!!!"_s);
    EXPECT_EQ(store::CountryTable(db).row(id).value()->name, u"Brien"_s);
}

TEST_F(CountryScreenTest, OneDefaultAtATime)
{
    add(u"O'Brien Islands"_s, u"6921"_s, true);
    const QString question =
        u"The country 'O'Brien Islands' is already set as default. Do you want to change the settings ?"_s;

    dialogs.answerNext(FakeDialogs::No);
    add(u"Atlantis"_s, u"6922"_s, true);
    EXPECT_EQ(dialogs.texts, QStringList{question});
    EXPECT_FALSE(stored(u"Atlantis"_s)->isDefault);
    EXPECT_TRUE(stored(u"O'Brien Islands"_s)->isDefault);

    dialogs.texts.clear();
    dialogs.answerNext(FakeDialogs::Yes);
    add(u"Lemuria"_s, u"6923"_s, true);
    EXPECT_EQ(dialogs.texts, QStringList{question});
    EXPECT_TRUE(stored(u"Lemuria"_s)->isDefault);
    EXPECT_FALSE(stored(u"O'Brien Islands"_s)->isDefault);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Country WHERE IsDefault<>0"_s), 1);
    EXPECT_EQ(row(u"O'Brien Islands"_s)->text(3), u"No"_s);

    // The default saved again under its own mark asks nothing.
    dialogs.texts.clear();
    testing_support::clickCell(list(), row(u"Lemuria"_s), 0);
    click(u"cmdSave"_s);
    EXPECT_TRUE(dialogs.texts.isEmpty());
    EXPECT_TRUE(stored(u"Lemuria"_s)->isDefault);
}

TEST_F(CountryScreenTest, TicksEnableDelete)
{
    auto* remove = get<QPushButton>(u"cmdDelete"_s);
    auto* all = get<QCheckBox>(u"chkSelectAll"_s);
    EXPECT_FALSE(remove->isEnabled());
    QTreeWidgetItem* india = row(u"India"_s);
    testing_support::clickTickBox(list(), india);
    EXPECT_EQ(india->checkState(0), Qt::Checked);
    EXPECT_TRUE(remove->isEnabled());
    EXPECT_FALSE(screen->isEditing()); // a tick is no click on the row
    testing_support::clickTickBox(list(), india);
    EXPECT_FALSE(remove->isEnabled());

    all->click();
    EXPECT_TRUE(remove->isEnabled());
    for (int i = 0; i < list()->topLevelItemCount(); ++i)
        ASSERT_EQ(list()->topLevelItem(i)->checkState(0), Qt::Checked);
    all->click();
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_EQ(list()->topLevelItem(0)->checkState(0), Qt::Unchecked);
}

TEST_F(CountryScreenTest, CountriesInUseAreNotDeleted)
{
    add(u"O'Brien Islands"_s, u"6921"_s);
    add(u"Atlantis"_s, u"6922"_s);
    add(u"Lemuria"_s, u"6923"_s);
    add(u"Utopia"_s, u"6924"_s);
    const qint64 obrien = stored(u"O'Brien Islands"_s)->id;
    const qint64 lemuria = stored(u"Lemuria"_s)->id;
    auto refer = [&](const QString& sql, qint64 id) {
        auto st = db.prepare(sql);
        st.bind(1, id);
        ASSERT_TRUE(st.run());
    };
    refer(u"INSERT INTO State (StateName, CountryId) VALUES ('North', ?1)"_s, obrien);
    refer(u"INSERT INTO UserDetails (UserName, CountryId) VALUES ('ann', ?1)"_s, obrien);
    refer(u"INSERT INTO UserDetails (UserName, CountryId) VALUES ('bob', ?1)"_s, lemuria);
    screen->close();
    open();

    const struct
    {
        const char* name;
        QStringList ticked;
        FakeDialogs::Answer answer;
        QString message; // after the question
        QStringList gone;
    } cases[] = {
        {"answered No", {u"Atlantis"_s}, FakeDialogs::No, QString(), {}},
        // Ticked in list order; the first in use stops every deletion after it.
        {"the first ticked in use",
         {u"O'Brien Islands"_s, u"Utopia"_s},
         FakeDialogs::Yes,
         u"You can not delete Country of name O'Brien Islands,O'Brien Islands.Because they are already in use."_s,
         {}},
        {"in use after a free one",
         {u"Lemuria"_s, u"Atlantis"_s},
         FakeDialogs::Yes,
         u"You can not delete Country of name Lemuria.Because they are already in use."_s,
         {u"Atlantis"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.texts.clear();
        for (const QString& name : c.ticked)
            testing_support::clickTickBox(list(), row(name));
        dialogs.answerNext(c.answer);
        click(u"cmdDelete"_s);
        QStringList expected{u"Are you sure to delete the country?"_s};
        if (!c.message.isEmpty())
            expected << c.message;
        EXPECT_EQ(dialogs.texts, expected);
        for (const QString& name : {u"O'Brien Islands"_s, u"Atlantis"_s, u"Lemuria"_s, u"Utopia"_s}) {
            const bool gone = c.gone.contains(name);
            EXPECT_EQ(stored(name).has_value(), !gone) << name.toStdString();
            EXPECT_EQ(row(name) != nullptr, !gone) << name.toStdString();
        }
        // Opened again: nothing ticked.
        EXPECT_FALSE(get<QPushButton>(u"cmdDelete"_s)->isEnabled());
    }

    // Free ones go.
    dialogs.texts.clear();
    const qint64 before = count(u"SELECT COUNT(*) FROM Country"_s);
    testing_support::clickTickBox(list(), row(u"India"_s));
    testing_support::clickTickBox(list(), row(u"Japan"_s));
    click(u"cmdDelete"_s);
    EXPECT_EQ(dialogs.texts, QStringList{u"Are you sure to delete the country?"_s});
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Country"_s), before - 2);
    EXPECT_EQ(row(u"India"_s), nullptr);
}

TEST_F(CountryScreenTest, ExitAndTheMenuEntry)
{
    type(u"txtCountryName"_s, u"Atlantis"_s);
    click(u"cmdExit"_s);
    EXPECT_EQ(screen->result(), QDialog::Rejected);
    EXPECT_FALSE(stored(u"Atlantis"_s));

    FakeClock clock;
    engine::Gateway gateway(folder.storePath(), clock);
    ui::MainWindow window(db, &gateway, dialogs, clock, false);
    QAction* entry = window.findChild<QAction*>(u"country"_s);
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->isEnabled());
    dialogs.onDialog[u"Frm_Country"_s] = [&](QDialog& opened) {
        EXPECT_NE(opened.findChild<QTreeWidget*>(u"lvwCountry"_s), nullptr);
        opened.reject();
    };
    entry->trigger();
    entry->trigger();
    EXPECT_EQ(dialogs.opened, (QStringList{u"Frm_Country"_s, u"Frm_Country"_s}));
}
