#include "refbooks/tform26.h"

#include "domain/refcheck.h"
#include "gui/ui.h"

namespace mirn {

TForm26::TForm26()
    : ListWindow(QStringLiteral("Номенклатура (26)"),
                 {{QStringLiteral("s_caption"), QStringLiteral("Наименование"), Qt::AlignLeft | Qt::AlignVCenter, 330}},
                 {QStringLiteral("s_caption")}) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    item.SQL = {QStringLiteral("select * from cmn_classifier.item where id_level=2")};
    setList(item);
    Button1 = makeButton(QStringLiteral("Выбрать"));
    Button4 = makeButton(QStringLiteral("Выход"));
    layOutAbove({Button1}, Button4);
    resize(380, 460);

    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { DBGrid1DblClick(); }));
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
}

std::optional<TForm26::Pick> TForm26::pick() {
    picked_.reset();
    item.open();
    ui::execModal(this);
    item.close();
    return picked_;
}

void TForm26::DBGrid1DblClick() {
    picked_ = Pick{int(refcheck::key(item.field(QStringLiteral("id")))), item.asString(QStringLiteral("s_caption"))};
    accept();
}

}  // namespace mirn
