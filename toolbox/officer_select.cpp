#include "toolbox/officer_select.h"

#include "common/failure.h"
#include "common/officer_directory.h"
#include "common/session_info.h"
#include "toolbox/officer_result_model.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

namespace zavek {

namespace {

QString idleHint() {
    return ZAVEK_OfficerSelect::tr(
        "Type an officer ID or part of a name and press Enter; an empty search lists all.");
}

} // namespace

ZAVEK_OfficerSelect::ZAVEK_OfficerSelect(QWidget* parent) : QWidget(parent) {
    auto* label = new QLabel(tr("Officer ID or name:"), this);
    searchEdit_ = new QLineEdit(this);
    searchEdit_->setObjectName(QStringLiteral("searchEdit"));
    searchEdit_->setClearButtonEnabled(true);
    label->setBuddy(searchEdit_);
    searchButton_ = new QPushButton(tr("Search"), this);
    searchButton_->setObjectName(QStringLiteral("searchButton"));
    clearButton_ = new QPushButton(tr("Clear"), this);
    clearButton_->setObjectName(QStringLiteral("clearButton"));
    selectButton_ = new QPushButton(tr("Select"), this);
    selectButton_->setObjectName(QStringLiteral("selectButton"));

    model_ = new OfficerResultModel(this);
    resultView_ = new QTreeView(this);
    resultView_->setObjectName(QStringLiteral("resultView"));
    resultView_->setModel(model_);
    resultView_->setRootIsDecorated(false);
    resultView_->setItemsExpandable(false);
    resultView_->setUniformRowHeights(true);
    resultView_->setAllColumnsShowFocus(true);
    resultView_->setAlternatingRowColors(true);
    resultView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultView_->setSelectionMode(QAbstractItemView::SingleSelection);
    resultView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultView_->header()->setStretchLastSection(true);
    resultView_->header()->setSectionsMovable(false);
    resultView_->setColumnWidth(OfficerResultModel::IdColumn,
                                resultView_->fontMetrics().averageCharWidth() * 18);

    hintLabel_ = new QLabel(this);
    hintLabel_->setObjectName(QStringLiteral("hintLabel"));
    hintLabel_->setTextFormat(Qt::PlainText);
    hintLabel_->setWordWrap(false);
    hintLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(label);
    searchRow->addWidget(searchEdit_, 1);
    searchRow->addWidget(searchButton_);
    searchRow->addWidget(clearButton_);
    searchRow->addWidget(selectButton_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 4);
    layout->setSpacing(4);
    layout->addLayout(searchRow);
    layout->addWidget(resultView_, 1);
    layout->addWidget(hintLabel_);

    setFocusProxy(searchEdit_);
    setTabOrder(searchEdit_, searchButton_);
    setTabOrder(searchButton_, clearButton_);
    setTabOrder(clearButton_, selectButton_);
    setTabOrder(selectButton_, resultView_);

    connect(searchEdit_, &QLineEdit::returnPressed, this, &ZAVEK_OfficerSelect::search);
    connect(searchButton_, &QPushButton::clicked, this, &ZAVEK_OfficerSelect::search);
    connect(clearButton_, &QPushButton::clicked, this, &ZAVEK_OfficerSelect::clear);
    connect(selectButton_, &QPushButton::clicked, this, &ZAVEK_OfficerSelect::selectCurrent);
    connect(resultView_, &QAbstractItemView::doubleClicked, this, &ZAVEK_OfficerSelect::pick);
    connect(resultView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ZAVEK_OfficerSelect::updateSelectButton);
    resultView_->installEventFilter(this);
    searchEdit_->installEventFilter(this);

    showHint(idleHint());
    updateSelectButton();
}

ZAVEK_OfficerSelect::~ZAVEK_OfficerSelect() = default;

void ZAVEK_OfficerSelect::setDirectory(IOfficerDirectory* directory, const SessionInfo* session) {
    directory_ = directory;
    session_ = session;
}

QString ZAVEK_OfficerSelect::OfficerName() const {
    return officerName_;
}

bool ZAVEK_OfficerSelect::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == resultView_ && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        pick(resultView_->currentIndex());
        return true;
    }
    // Down from the search field goes straight to the results, the way a search box usually does.
    if (watched == searchEdit_ && key == Qt::Key_Down && model_->rowCount() > 0) {
        resultView_->setFocus(Qt::TabFocusReason);
        if (!resultView_->selectionModel()->hasSelection())
            resultView_->setCurrentIndex(model_->index(0, OfficerResultModel::IdColumn));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ZAVEK_OfficerSelect::search() {
    const QString text = searchEdit_->text().trimmed();
    officerName_.clear();
    model_->clear();
    updateSelectButton();
    emit Searching();

    if (!directory_) {
        showHint(tr("Officer search is not available: no officer directory is connected to this "
                    "screen."));
        return;
    }
    const QString region = session_ ? session_->region() : QString();
    OfficerSearchResult result;
    try {
        result = directory_->search(text, region, kResultLimit);
    } catch (const Failure& failure) {
        showHint(tr("%1 Check the connection to the database and search again.")
                     .arg(failure.description()));
        return;
    } catch (const std::exception& e) {
        showHint(
            tr("The officer search failed: %1. Search again.").arg(QString::fromUtf8(e.what())));
        return;
    }
    if (result.rows.empty()) {
        showHint(text.isEmpty() ? tr("No officer is listed for region \"%1\".").arg(region)
                                : tr("No officer matches \"%1\".").arg(text));
        return;
    }
    // A directory that ignores the cap must not flood the list.
    if (result.rows.size() > static_cast<std::size_t>(kResultLimit)) {
        result.rows.resize(static_cast<std::size_t>(kResultLimit));
        result.more = true;
    }
    const int count = static_cast<int>(result.rows.size());
    model_->setRows(std::move(result.rows));
    updateSelectButton();
    if (result.more)
        showHint(tr("More than %1 officers match; showing the first %1. Refine the search.")
                     .arg(kResultLimit));
    else
        showHint(count == 1 ? tr("1 officer found") : tr("%1 officers found").arg(count));
}

void ZAVEK_OfficerSelect::clear() {
    searchEdit_->clear();
    officerName_.clear();
    model_->clear();
    updateSelectButton();
    showHint(idleHint());
    emit ClearForm();
}

void ZAVEK_OfficerSelect::selectCurrent() {
    const QModelIndexList rows = resultView_->selectionModel()->selectedRows();
    if (!rows.isEmpty())
        pick(rows.first());
}

void ZAVEK_OfficerSelect::pick(const QModelIndex& index) {
    if (!index.isValid() || index.model() != model_)
        return;
    const OfficerRow officer = model_->officerAt(index.row());
    // The receiver reads OfficerName while it handles the signal.
    officerName_ = officer.name;
    emit OfficerSelected(officer.id);
}

void ZAVEK_OfficerSelect::showHint(const QString& text) {
    hintLabel_->setText(text);
    hintLabel_->setToolTip(text);
}

void ZAVEK_OfficerSelect::updateSelectButton() {
    selectButton_->setEnabled(resultView_->selectionModel()->hasSelection());
}

} // namespace zavek
