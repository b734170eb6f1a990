#include "document/security_form.h"

#include "groups/twips.h"
#include "toolbox/officer_select.h"

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>

namespace zavek {

namespace {
constexpr int kCaptionHeightTwips = 240;

QFont formFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

struct ListDesign {
    const char* header1;
    const char* key1;
    const char* header2;
    const char* key2;
    int left;
};
constexpr ListDesign kLists[2] = {
    {"Group", "GRP_DES", "Security Group Code", "GRP_CD", 270},
    {"Agency", "GRP_DES ", "Agency Code", "GRP_CD", 4410},
};
constexpr int kListTop = 600;
constexpr int kListHeight = 3375;
constexpr int kDesignColumnWidth = 1440;
} // namespace

int SecurityForm::twips(int value, Axis axis) const {
    return twipsToPixels(value, axis, this);
}

void SecurityForm::place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twips(left, Axis::Horizontal), twips(top, Axis::Vertical),
                        twips(width, Axis::Horizontal), twips(height, Axis::Vertical));
}

SecurityForm::SecurityForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ZAVEK_Security"));
    setFixedSize(twips(kWidthTwips, Axis::Horizontal), twips(kHeightTwips, Axis::Vertical));

    officerSelect_ = new ZAVEK_OfficerSelect(this);
    officerSelect_->setObjectName(QStringLiteral("ZAVEK_OfficerSelect1"));
    place(officerSelect_, 0, 120, 11145, 4335);

    frame_ = new QGroupBox(QStringLiteral("Select Privileges"), this);
    frame_->setObjectName(QStringLiteral("Frame1"));
    frame_->setFont(formFont());
    place(frame_, 30, 4440, 11055, 4065);

    resetPassword_ = new QCheckBox(QStringLiteral("Reset Password"), frame_);
    resetPassword_->setObjectName(QStringLiteral("chkResetPassword"));
    resetPassword_->setFont(formFont());
    resetPassword_->setChecked(false);
    place(resetPassword_, 8460, 630, 1725, 255);

    for (int i = 0; i < 2; ++i) {
        models_[i] = new GroupListModel(this);
        models_[i]->setHeaders(QString::fromLatin1(kLists[i].header1),
                               QString::fromLatin1(kLists[i].header2));
        models_[i]->setColumnKeys(QString::fromLatin1(kLists[i].key1),
                                  QString::fromLatin1(kLists[i].key2));
        lists_[i] = new GroupListView(i, frame_);
        lists_[i]->setObjectName(QStringLiteral("lvOfficerGroups_%1").arg(i));
        lists_[i]->setModel(models_[i]);
        lists_[i]->header()->setMinimumSectionSize(0);
        lists_[i]->setColumnWidth(0, twips(kDesignColumnWidth, Axis::Horizontal));
        lists_[i]->setColumnWidth(1, 0);
        place(lists_[i], kLists[i].left, kListTop, kListWidthTwips, kListHeight);
    }

    caption_ = new QLabel(QStringLiteral("Current Officer :"), frame_);
    caption_->setObjectName(QStringLiteral("lblCaption"));
    caption_->setFont(formFont());
    caption_->setWordWrap(false);
    place(caption_, 270, 300, 1365, kCaptionHeightTwips);

    // Keyboard order: frame (takes no focus), box, group list, agency list, label (takes no
    // focus), selector, and round to the box. The selector only lends its focus to a proxy,
    // which setTabOrder does not follow, so its own stops are chained by name.
    setTabOrder(resetPassword_, lists_[0]);
    setTabOrder(lists_[0], lists_[1]);
    QWidget* previous = lists_[1];
    for (const char* name :
         {"searchEdit", "searchButton", "clearButton", "selectButton", "resultView"}) {
        if (auto* stop = officerSelect_->findChild<QWidget*>(QLatin1String(name))) {
            setTabOrder(previous, stop);
            previous = stop;
        }
    }
    setTabOrder(previous, resetPassword_);
}

void SecurityForm::setCaptionText(const QString& text) {
    caption_->setText(text);
    const int width = caption_->fontMetrics().horizontalAdvance(text) + caption_->margin() * 2 +
                      caption_->contentsMargins().left() + caption_->contentsMargins().right();
    caption_->resize(std::max(width, 1), twips(kCaptionHeightTwips, Axis::Vertical));
}

} // namespace zavek
