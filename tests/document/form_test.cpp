#include "groups/twips.h"
#include "tests/support/screen.h"
#include "toolbox/officer_select.h"

#include <QGroupBox>
#include <QPaintDevice>
#include <QScrollArea>
#include <QScrollBar>

#include <cmath>

namespace zavek::testing {
namespace {

// A screen whose pixels are twice as tall as they are wide.
class TallPixels final : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    int metric(PaintDeviceMetric m) const override {
        return m == PdmDpiY || m == PdmPhysicalDpiY   ? 48
               : m == PdmDpiX || m == PdmPhysicalDpiX ? 96
                                                      : 1;
    }
};

TEST(Twips, LeftsAndWidthsFollowTheHorizontalDpiTopsAndHeightsTheVertical) {
    const TallPixels screen;
    EXPECT_EQ(twipsToPixels(1440, Axis::Horizontal, &screen), 96);
    EXPECT_EQ(twipsToPixels(1440, Axis::Vertical, &screen), 48);
}

class Form : public Screen {
public:
    // Expected pixels for a design value, from the screen's logical DPI.
    int px(int twips) const { return int(std::lround(twips * doc->form().logicalDpiX() / 1440.0)); }
    int py(int twips) const { return int(std::lround(twips * doc->form().logicalDpiY() / 1440.0)); }
    QRect rect(int left, int top, int width, int height) const {
        return QRect(px(left), py(top), px(width), py(height));
    }
};

TEST_F(Form, ControlsSitAtTheirDesignPlacesWithTheDesignTexts) {
    SecurityForm& f = doc->form();
    EXPECT_EQ(f.size(), QSize(px(11250), py(8625)));
    const struct {
        QWidget* widget;
        QWidget* parent;
        QRect at;
    } places[] = {{f.officerSelect(), &f, rect(0, 120, 11145, 4335)},
                  {f.frame(), &f, rect(30, 4440, 11055, 4065)},
                  {f.resetPassword(), f.frame(), rect(8460, 630, 1725, 255)},
                  {f.list(0), f.frame(), rect(270, 600, 3870, 3375)},
                  {f.list(1), f.frame(), rect(4410, 600, 3870, 3375)},
                  {f.caption(), f.frame(), rect(270, 300, 1365, 240)}};
    for (const auto& p : places) {
        EXPECT_EQ(p.widget->geometry(), p.at) << p.widget->metaObject()->className();
        EXPECT_EQ(p.widget->parentWidget(), p.parent) << p.widget->metaObject()->className();
    }
    EXPECT_EQ(f.frame()->title() + f.resetPassword()->text() + f.caption()->text(),
              QStringLiteral("Select PrivilegesReset PasswordCurrent Officer :"));
    EXPECT_FALSE(f.resetPassword()->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{f.frame(), f.resetPassword(), f.caption()}) {
        EXPECT_EQ(w->font().family(), QStringLiteral("Arial"));
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 9.75);
        EXPECT_EQ(w->font().weight(), QFont::Normal);
        EXPECT_FALSE(w->font().italic() || w->font().underline() || w->font().strikeOut());
    }
}

TEST_F(Form, ListsShowTheDescriptionWideAndTheCodeHidden) {
    const char* expect[2][3] = {{"Group", "GRP_DES", "Security Group Code"},
                                {"Agency", "GRP_DES ", "Agency Code"}};
    doc->UserDocument_Show();
    for (int i = 0; i < 2; ++i) {
        GroupListModel* model = doc->form().model(i);
        EXPECT_EQ(model->columnCount(), 2);
        EXPECT_EQ(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString() + '/' +
                      model->columnKey(0) + '/' +
                      model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString() + '/' +
                      model->columnKey(1),
                  QStringLiteral("%1/%2/%3/GRP_CD").arg(expect[i][0], expect[i][1], expect[i][2]));
        EXPECT_EQ(doc->form().list(i)->columnWidth(0), px(3870));
        EXPECT_EQ(doc->form().list(i)->columnWidth(1), 0);
        EXPECT_FALSE(items(i).item(0).code.isEmpty()) << "the code is still there";
    }
}

TEST_F(Form, ALongNameWidensTheCaptionOnOneLineAndASmallWindowScrolls) {
    doc->form().setCaptionText(
        QStringLiteral("Current Officer : Maximiliana Alexandrovna Featherstonehaugh-Smythe"));
    QLabel* label = doc->form().caption();
    EXPECT_FALSE(label->wordWrap());
    EXPECT_GE(label->width(),
              std::max(px(1365) + 1, label->fontMetrics().horizontalAdvance(label->text())));
    EXPECT_EQ(label->height(), py(240));
    EXPECT_EQ(label->pos(), QPoint(px(270), py(300)));

    QScrollArea area;
    area.setWidget(doc->Form());
    area.resize(300, 200);
    area.show();
    const QRect frameBefore = doc->form().frame()->geometry();
    area.resize(200, 150);
    deliver();
    EXPECT_EQ(doc->form().frame()->geometry(), frameBefore);
    EXPECT_EQ(doc->Form()->size(), QSize(px(11250), py(8625)));
    EXPECT_EQ(doc->ScrollStepPixels(Qt::Vertical), py(225));
    EXPECT_GT(area.verticalScrollBar()->maximum(), 0);
    area.takeWidget(); // the document keeps owning its form
}

} // namespace
} // namespace zavek::testing
