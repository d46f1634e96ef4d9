#include "WaitDialog.h"

#include "Pictures.h"

#include <QHBoxLayout>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace ui {

WaitDialog::WaitDialog(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(u"frm_Wait"_s);
    setWindowTitle(u"Processing......"_s);
    setWindowModality(Qt::ApplicationModal);
    auto* picture = new QLabel(this);
    picture->setPixmap(waitPicture());
    auto* text = new QLabel(u"Processing Please Wait ............"_s, this);
    text->setObjectName(u"lblWait"_s);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(text);
}

} // namespace ui
