#pragma once
// The document's form: six controls at fixed positions given in twips. Nothing here moves or
// resizes at run time.

#include "groups/group_list_model.h"
#include "groups/group_list_view.h"
#include "groups/group_rules.h"
#include "groups/twips.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;

namespace zavek {

class ZAVEK_OfficerSelect;
class IOfficerDirectory;

class SecurityForm : public QWidget {
    Q_OBJECT
public:
    // Design geometry, in twips.
    static constexpr int kWidthTwips = 11250;
    static constexpr int kHeightTwips = 8625;
    static constexpr int kScrollStepTwips = 225;
    static constexpr int kListWidthTwips = 3870;

    explicit SecurityForm(QWidget* parent = nullptr);

    ZAVEK_OfficerSelect* officerSelect() const { return officerSelect_; }
    QGroupBox* frame() const { return frame_; }
    QCheckBox* resetPassword() const { return resetPassword_; }
    GroupListView* list(CheckList which) const { return lists_[static_cast<int>(which)]; }
    GroupListModel* model(CheckList which) const { return models_[static_cast<int>(which)]; }
    QLabel* caption() const { return caption_; }

    // The label keeps its design height and widens to its text on one line.
    void setCaptionText(const QString& text);

    int twips(int value, Axis axis) const;

private:
    void place(QWidget* widget, int left, int top, int width, int height);

    ZAVEK_OfficerSelect* officerSelect_ = nullptr;
    QGroupBox* frame_ = nullptr;
    QCheckBox* resetPassword_ = nullptr;
    GroupListView* lists_[2] = {nullptr, nullptr};
    GroupListModel* models_[2] = {nullptr, nullptr};
    QLabel* caption_ = nullptr;
};

} // namespace zavek
