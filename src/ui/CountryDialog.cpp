#include "CountryDialog.h"

#include "CheckableList.h"
#include "CountryTable.h"
#include "Dialogs.h"
#include "FieldChecks.h"
#include "ScreenParts.h"
#include "TextRules.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

enum Column
{
    NameColumn,
    CodeColumn,
    IdColumn,
    DefaultColumn
};

// The first rule a typed code breaks, or the empty text. A general number reading accepts a
// currency sign, thousands commas, a sign and a decimal point, so those are refused one by one
// after it; an exponent ("1e5") it accepts as well, but no dialling code is written that way.
QString codeProblem(const QString& code)
{
    if (!isNumeric(code) || code.contains(u'e', Qt::CaseInsensitive))
        return u"Please enter numeric value."_s;
    if (code.contains(u'$'))
        return u"Doller sign is not allowed in country code."_s;
    if (code.contains(u','))
        return u"Quma is not allowed in country code."_s;
    if (code.contains(u'-'))
        return u"Minus sign is not allowed in country code."_s;
    if (code.contains(u'+'))
        return u"Plus sign is not allowed in country code."_s;
    if (code.contains(u'.'))
        return u"Decimal value is not allowed in country code."_s;
    return {};
}

} // namespace

CountryDialog::CountryDialog(const store::Database& db, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_db(db), m_dialogs(dialogs)
{
    setObjectName(u"Frm_Country"_s);
    setWindowTitle(u"Country"_s);

    m_name = named(new QLineEdit(this), u"txtCountryName"_s);
    m_code = named(new QLineEdit(this), u"txtCountryCode"_s);
    m_default = named(new QCheckBox(u"Set as default"_s, this), u"chkDefault"_s);
    m_id = named(new QLineEdit(this), u"txtCountryId"_s);
    m_id->setVisible(false);
    auto* saveButton = named(new QPushButton(u"&Save"_s, this), u"cmdSave"_s);
    m_delete = named(new QPushButton(u"&Delete"_s, this), u"cmdDelete"_s);
    auto* exitButton = named(new QPushButton(u"E&xit"_s, this), u"cmdExit"_s);
    m_selectAll = named(new QCheckBox(u"Select All"_s, this), u"chkSelectAll"_s);
    m_list =
        named(new CheckableList({u"Country Name"_s, u"Country Code"_s, QString(), u"Is Set Default"_s}, IdColumn, this),
              u"lvwCountry"_s);
    m_list->header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    m_list->header()->setStretchLastSection(false);

    auto* fields = new QFormLayout;
    fields->addRow(u"Country Name :"_s, m_name);
    fields->addRow(u"Country Code :"_s, m_code);
    fields->addRow(QString(), m_default);
    auto* listHead = new QHBoxLayout;
    listHead->addWidget(m_selectAll);
    listHead->addStretch();
    listHead->addWidget(new QLabel(u"To edit click on country name."_s, this));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_id);
    layout->addLayout(buttonRow({saveButton, m_delete, exitButton}));
    layout->addLayout(listHead);
    layout->addWidget(m_list);
    resize(520, 560);

    connect(m_code, &QLineEdit::textChanged, this, &CountryDialog::checkCode);
    connect(saveButton, &QPushButton::clicked, this, &CountryDialog::save);
    connect(m_delete, &QPushButton::clicked, this, &CountryDialog::deleteTicked);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &CheckableList::rowClicked, this, &CountryDialog::editRow);
    connect(m_list, &CheckableList::tickedChanged, m_delete, &QWidget::setEnabled);
    connect(m_selectAll, &QCheckBox::toggled, m_list, &CheckableList::setAllTicked);

    reopen();
}

void CountryDialog::reopen()
{
    const QScopedValueRollback loading(m_loading, true);
    m_editing = false;
    m_name->clear();
    m_code->clear();
    m_id->clear();
    m_default->setChecked(false);
    {
        const QSignalBlocker block(m_selectAll);
        m_selectAll->setChecked(false);
    }
    m_delete->setEnabled(false);
    m_list->clearRows();
    auto countries = store::CountryTable(m_db).all();
    if (!countries) {
        m_dialogs.error(this, u"The countries could not be read: "_s + countries.error().message);
        return;
    }
    for (const store::CountryRow& country : *countries) {
        m_list->addRow({country.name, country.code, QString(), country.isDefault ? u"Yes"_s : u"No"_s}, country.id);
    }
}

void CountryDialog::editRow(QTreeWidgetItem* item)
{
    const QScopedValueRollback loading(m_loading, true);
    m_editing = true;
    m_name->setText(item->text(NameColumn));
    m_code->setText(item->text(CodeColumn));
    m_id->setText(QString::number(m_list->idOf(item)));
    m_default->setChecked(item->text(DefaultColumn) == u"Yes"_s);
}

void CountryDialog::checkCode()
{
    if (m_loading || store::trimBlanks(m_code->text()).isEmpty())
        return;
    const QString problem = codeProblem(m_code->text());
    if (problem.isEmpty())
        return;
    m_dialogs.information(this, problem);
    m_code->clear();
    m_code->setFocus();
}

void CountryDialog::save()
{
    const QString name = store::trimBlanks(m_name->text());
    if (name.isEmpty()) {
        refuseField(m_dialogs, m_name, u"Please Enter Country Name."_s);
        return;
    }
    QString code = store::trimBlanks(m_code->text());
    if (!code.isEmpty() && !isNumeric(code)) {
        refuseField(m_dialogs, m_code, u"Country Code should be numeric."_s);
        return;
    }
    const std::optional<qint64> editedId = m_editing ? std::optional(m_id->text().toLongLong()) : std::nullopt;
    store::CountryTable countries(m_db);
    auto taken = countries.nameTaken(name, editedId);
    if (!taken) {
        m_dialogs.error(this, u"The country could not be saved: "_s + taken.error().message);
        return;
    }
    if (*taken) {
        m_dialogs.information(this, u"This country already exist!!!"_s);
        m_name->clear();
        m_name->setFocus();
        return;
    }

    store::CountryEdit edit{editedId, name, QString(), false, std::nullopt};
    if (m_default->isChecked()) {
        auto current = countries.defaultCountry(editedId);
        if (!current) {
            m_dialogs.error(this, u"The country could not be saved: "_s + current.error().message);
            return;
        }
        if (*current) {
            const QString question = u"The country '"_s + (*current)->name +
                                     u"' is already set as default. Do you want to change the settings ?"_s;
            if (m_dialogs.question(this, question) == Dialogs::Yes)
                edit.clearDefaultOf = (*current)->id;
            else
                m_default->setChecked(false);
        }
    }
    edit.isDefault = m_default->isChecked();
    // Signs are refused while typing; should one be there all the same, the digits are what count.
    code.remove(u'-').remove(u'+');
    code = store::trimBlanks(code);
    if (!code.isEmpty())
        edit.code = code;
    if (auto saved = countries.save(edit); !saved) {
        m_dialogs.error(this, u"The country could not be saved: "_s + saved.error().message);
        return;
    }
    reopen();
}

void CountryDialog::deleteTicked()
{
    if (m_dialogs.question(this, u"Are you sure to delete the country?"_s) == Dialogs::Yes) {
        auto inUse = store::CountryTable(m_db).removeUnlessInUse(m_list->tickedIds());
        if (!inUse) {
            m_dialogs.error(this, u"The countries could not be deleted: "_s + inUse.error().message);
        } else if (!inUse->isEmpty()) {
            m_dialogs.information(this, u"You can not delete Country of name "_s + inUse->join(u',') +
                                            u".Because they are already in use."_s);
        }
    }
    reopen();
}

} // namespace ui
