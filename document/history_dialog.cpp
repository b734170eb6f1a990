#include "document/history_dialog.h"

#include "exchange/history_model.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace zavek {

HistoryDialog::HistoryDialog(HistoryModel& model, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HistoryDialog"));
    setWindowTitle(tr("Security Group History"));
    setModal(false);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("HistoryMessage"));
    message_->setWordWrap(true);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("HistoryTable"));
    table_->setModel(&model);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Sized to the rows in view: a long history opens without measuring every row.
    table_->horizontalHeader()->setResizeContentsPrecision(0);
    table_->horizontalHeader()->setSectionResizeMode(HistoryModel::When,
                                                     QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(HistoryModel::Administrator,
                                                     QHeaderView::ResizeToContents);

    auto* buttons = new QDialogButtonBox(this);
    revertButton_ = buttons->addButton(tr("&Revert"), QDialogButtonBox::ActionRole);
    revertButton_->setObjectName(QStringLiteral("RevertButton"));
    revertButton_->setToolTip(tr("Tick and untick the lists back to before the "
                                 "selected save; nothing is stored until Save"));
    buttons->addButton(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    connect(revertButton_, &QPushButton::clicked, this, [this] {
        const QModelIndexList rows = table_->selectionModel()->selectedRows();
        if (!rows.isEmpty() && revert_)
            revert_(rows.front().row());
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryDialog::updateButtons);
    connect(&model, &QAbstractItemModel::modelReset, this, &HistoryDialog::updateButtons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(table_, 1);
    layout->addWidget(buttons);
    resize(960, 340);
    updateButtons();
}

void HistoryDialog::setMessage(const QString& text) {
    message_->setText(text);
}

void HistoryDialog::updateButtons() {
    revertButton_->setEnabled(table_->selectionModel()->hasSelection());
}

} // namespace zavek
