#include "FieldChecks.h"

#include "Dialogs.h"

#include <QRegularExpression>
#include <QTabWidget>

using namespace Qt::StringLiterals;

namespace ui {

bool isNumeric(const QString& text)
{
    static const QRegularExpression number(uR"(^\s*[+-]?\s*\$?\s*[+-]?(\d[\d,]*(\.\d*)?|\.\d+)([eE][+-]?\d+)?\s*$)"_s);
    return number.match(text).hasMatch();
}

double numericValue(const QString& text)
{
    if (!isNumeric(text))
        return 0;
    QString plain = text;
    plain.remove(u'$').remove(u',').remove(u' ').remove(u'\t');
    bool negative = false;
    qsizetype first = 0;
    for (; first < plain.size() && (plain.at(first) == u'+' || plain.at(first) == u'-'); ++first)
        negative = negative != (plain.at(first) == u'-');
    const double value = plain.mid(first).toDouble();
    return negative ? -value : value;
}

QString timeFieldProblem(const QString& text, bool receiveField)
{
    if (!isNumeric(text))
        return u"Please enter numeric value."_s;
    if (text.contains(u'$'))
        return u"Doller sign is not allowed in time."_s;
    if (text.contains(u'+'))
        return u"Pluse sign is not allowed in time."_s;
    if (text.contains(u'-'))
        return u"Minus sign is not allowed in time."_s;
    if (text.contains(u','))
        return u"Quama is not allowed in time."_s;
    if (numericValue(text) > 65) {
        return receiveField ? u"Receive message time should be less than or equal to 65 seconds."_s
                            : u"Send Message time should be less than or equal to 65 seconds."_s;
    }
    return {};
}

void bringForward(QWidget* field)
{
    // A tab's page sits in the tab widget's stack; a field inside nested tabs brings each forward.
    for (QWidget* page = field; page != nullptr; page = page->parentWidget()) {
        QWidget* stack = page->parentWidget();
        auto* tabs = stack != nullptr ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
        if (tabs != nullptr && tabs->indexOf(page) >= 0)
            tabs->setCurrentWidget(page);
    }
    field->setFocus();
}

void refuseField(Dialogs& dialogs, QWidget* field, const QString& text)
{
    dialogs.information(field->window(), text);
    bringForward(field);
}

} // namespace ui
