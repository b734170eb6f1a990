#pragma once
// A list in report view with a check box on every item.

#include <QTreeView>

#include <cstdint>

namespace zavek {

class GroupListView : public QTreeView {
    Q_OBJECT
public:
    explicit GroupListView(int index, QWidget* parent = nullptr);
    int listIndex() const { return index_; }

signals:
    // A mouse click anywhere in the list (an item, the empty area below the items, or the
    // header), raised after any check-state change the click made. A keyboard toggle of a
    // check box raises it too, so the editing rules hold for both.
    void listClicked(std::int16_t index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int index_;
};

} // namespace zavek
