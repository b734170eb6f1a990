#include "tests/document/document_fixture.h"

#include "groups/twips.h"
#include "toolbox/officer_select.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPaintDevice>
#include <QScrollArea>
#include <QScrollBar>

#include <cmath>

namespace zavek::testing {
namespace {

class Form : public DocumentTest {
protected:
    // Expected pixels for a design value, from the screen's logical DPI.
    int px(int twips) const {
        return static_cast<int>(std::lround(twips * doc->form().logicalDpiX() / 1440.0));
    }
    int py(int twips) const {
        return static_cast<int>(std::lround(twips * doc->form().logicalDpiY() / 1440.0));
    }
    QRect rect(int left, int top, int width, int height) const {
        return QRect(px(left), py(top), px(width), py(height));
    }
};

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

TEST_F(Form, ControlsSitAtTheirDesignPositions) {
    SecurityForm& f = doc->form();
    EXPECT_EQ(f.size(), QSize(px(11250), py(8625)));
    EXPECT_EQ(f.officerSelect()->geometry(), rect(0, 120, 11145, 4335));
    EXPECT_EQ(f.frame()->geometry(), rect(30, 4440, 11055, 4065));
    EXPECT_EQ(f.resetPassword()->parentWidget(), f.frame());
    EXPECT_EQ(f.resetPassword()->geometry(), rect(8460, 630, 1725, 255));
    EXPECT_EQ(f.list(0)->parentWidget(), f.frame());
    EXPECT_EQ(f.list(0)->geometry(), rect(270, 600, 3870, 3375));
    EXPECT_EQ(f.list(1)->geometry(), rect(4410, 600, 3870, 3375));
    EXPECT_EQ(f.caption()->geometry(), rect(270, 300, 1365, 240));
}

TEST_F(Form, TextsAndFontsAreTheDesignOnes) {
    SecurityForm& f = doc->form();
    EXPECT_EQ(f.frame()->title(), QStringLiteral("Select Privileges"));
    EXPECT_EQ(f.resetPassword()->text(), QStringLiteral("Reset Password"));
    EXPECT_FALSE(f.resetPassword()->isChecked());
    EXPECT_EQ(f.caption()->text(), QStringLiteral("Current Officer :"));
    for (QWidget* w : std::initializer_list<QWidget*>{f.frame(), f.resetPassword(), f.caption()}) {
        EXPECT_EQ(w->font().family(), QStringLiteral("Arial"));
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 9.75);
        EXPECT_EQ(w->font().weight(), QFont::Normal);
        EXPECT_FALSE(w->font().italic() || w->font().underline() || w->font().strikeOut());
    }
}

TEST_F(Form, ListsHaveTheirColumns) {
    struct Expect {
        const char* h1;
        const char* k1;
        const char* h2;
    } expect[2] = {{"Group", "GRP_DES", "Security Group Code"},
                   {"Agency", "GRP_DES ", "Agency Code"}};
    for (int i = 0; i < 2; ++i) {
        GroupListModel* model = doc->form().model(i);
        EXPECT_EQ(model->columnCount(), 2);
        EXPECT_EQ(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                  QString::fromLatin1(expect[i].h1));
        EXPECT_EQ(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                  QString::fromLatin1(expect[i].h2));
        EXPECT_EQ(model->columnKey(0), QString::fromLatin1(expect[i].k1));
        EXPECT_EQ(model->columnKey(1), QStringLiteral("GRP_CD"));
    }
}

TEST_F(Form, StartUpWidensTheDescriptionAndHidesTheCode) {
    doc->UserDocument_Show();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(doc->form().list(i)->columnWidth(0), px(3870));
        EXPECT_EQ(doc->form().list(i)->columnWidth(1), 0);
        EXPECT_FALSE(doc->rules().list(i).item(0).code.isEmpty()) << "the code is still there";
    }
}

TEST_F(Form, ALongNameWidensTheCaptionOnOneLine) {
    doc->form().setCaptionText(
        QStringLiteral("Current Officer : Maximiliana Alexandrovna Featherstonehaugh-Smythe"));
    QLabel* label = doc->form().caption();
    EXPECT_FALSE(label->wordWrap());
    EXPECT_GT(label->width(), px(1365));
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    EXPECT_EQ(label->height(), py(240));
    EXPECT_EQ(label->pos(), QPoint(px(270), py(300)));
}

TEST_F(Form, ASmallHostWindowScrollsInsteadOfMovingControls) {
    QScrollArea area;
    area.setWidget(doc->Form());
    area.resize(300, 200);
    area.show();
    const QRect frameBefore = doc->form().frame()->geometry();
    area.resize(200, 150);
    QCoreApplication::processEvents();
    EXPECT_EQ(doc->form().frame()->geometry(), frameBefore);
    EXPECT_EQ(doc->Form()->size(), QSize(px(11250), py(8625)));
    EXPECT_EQ(doc->ScrollStepPixels(Qt::Vertical), py(225));
    EXPECT_GT(area.verticalScrollBar()->maximum(), 0);
    area.takeWidget(); // the document keeps owning its form
}

} // namespace
} // namespace zavek::testing
