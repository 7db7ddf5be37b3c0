#include "app/history_window.h"

#include "app/message_box.h"
#include "app/window_history.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vesk {

namespace {

// The most searches one listing shows; the filter finds the older ones.
constexpr int kListLimit = 1000;

} // namespace

HistoryWindow::HistoryWindow(HistoryThread& history, MessageSink& messages, OpenFunction open, QWidget* owner)
    : QDialog(owner)
    , m_history(history)
    , m_messages(messages)
    , m_open(std::move(open))
{
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(QStringLiteral("History"));
    setAccessibleName(QStringLiteral("History"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(640, 420);

    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("historyFilter"));
    m_filter->setAccessibleName(QStringLiteral("Filter"));
    m_filter->setAccessibleDescription(QStringLiteral("Shows only the searches whose query contains this text"));
    m_filter->setClearButtonEnabled(true);
    filterLabel->setBuddy(m_filter);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setAccessibleName(QStringLiteral("Past searches"));
    m_list->setHeaderLabels(
        { QStringLiteral("Time"), QStringLiteral("Query"), QStringLiteral("Kind"), QStringLiteral("Outcome") });
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(1, QHeaderView::Stretch);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("historyStatus"));
    // It may quote a file name or SQLite's words: never markup.
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);

    m_openButton = new QPushButton(QStringLiteral("&Open"), this);
    m_openButton->setObjectName(QStringLiteral("openButton"));
    m_openButton->setAccessibleName(QStringLiteral("Open"));
    m_openButton->setDefault(true);
    m_clearButton = new QPushButton(QStringLiteral("C&lear History..."), this);
    m_clearButton->setObjectName(QStringLiteral("clearHistoryButton"));
    m_clearButton->setAccessibleName(QStringLiteral("Clear History"));
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setAccessibleName(QStringLiteral("Close"));

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_filter, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_clearButton);
    buttons->addStretch(1);
    buttons->addWidget(m_openButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(m_filter, &QLineEdit::textChanged, this, &HistoryWindow::Refresh);
    connect(m_list, &QTreeWidget::itemActivated, this, &HistoryWindow::OpenChosen);
    connect(m_openButton, &QPushButton::clicked, this, &HistoryWindow::OpenChosen);
    connect(m_clearButton, &QPushButton::clicked, this, &HistoryWindow::ClearHistory);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    m_openButton->setEnabled(false);
    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { m_openButton->setEnabled(item != nullptr); });
    m_filter->setFocus();
}

void HistoryWindow::Refresh()
{
    const quint64 generation = ++m_generation;
    const QString text = m_filter->text();
    QPointer<HistoryWindow> self(this);
    m_status->setText(QStringLiteral("Reading the history..."));
    m_history.Post([self, generation, text](HistoryStore& store) {
        const QList<ReportSummary> list = store.Search(text, kListLimit);
        const QString problem = store.Available() && store.Error().isEmpty() ? QString() : store.Error();
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, list, problem] {
                if (self && generation == self->m_generation)
                    self->ShowList(list, problem);
            },
            Qt::QueuedConnection);
    });
}

void HistoryWindow::ShowList(const QList<ReportSummary>& list, const QString& problem)
{
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(list.size());
    for (const ReportSummary& summary : list) {
        auto* item = new QTreeWidgetItem(
            QStringList { summary.Started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                          summary.Typed.isEmpty() ? summary.Key : summary.Typed, summary.Kind,
                          RecordedOutcomeName(summary.Outcome) });
        item->setData(0, Qt::UserRole, summary.Id);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    for (int column = 0; column < m_list->columnCount(); ++column) {
        if (column != 1)
            m_list->resizeColumnToContents(column);
    }
    if (!items.isEmpty())
        m_list->setCurrentItem(items.first());
    if (!problem.isEmpty())
        m_status->setText(QStringLiteral("The history is unavailable: %1").arg(problem));
    else if (list.isEmpty())
        m_status->setText(m_filter->text().trimmed().isEmpty() ? QStringLiteral("No searches are recorded yet.")
                                                               : QStringLiteral("No recorded search matches."));
    else
        m_status->setText(list.size() >= kListLimit
                              ? QStringLiteral("The newest %1 searches; the filter finds older ones.").arg(kListLimit)
                              : QStringLiteral("%1 searches.").arg(list.size()));
    m_clearButton->setEnabled(problem.isEmpty());
}

void HistoryWindow::OpenChosen()
{
    QTreeWidgetItem* item = m_list->currentItem();
    if (item == nullptr)
        return;
    const qint64 id = item->data(0, Qt::UserRole).toLongLong();
    std::optional<StoredReport> report;
    QString problem;
    m_history.Await<bool>([id, &report, &problem](HistoryStore& store) {
        report = store.Report(id);
        if (!report)
            problem
                = store.Error().isEmpty() ? QStringLiteral("the report is no longer in the history.") : store.Error();
        return true;
    });
    if (!report) {
        m_status->setText(QStringLiteral("The report cannot be shown: %1").arg(problem));
        return;
    }
    if (!m_open(*report))
        m_status->setText(QStringLiteral("A search is running; open the report once it is done."));
}

void HistoryWindow::ClearHistory()
{
    const auto answer = m_messages.Ask(this, MessageSink::Kind::Warning,
                                       QStringLiteral("Remove every recorded search from the history? This cannot "
                                                      "be undone."),
                                       QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    QString problem;
    m_history.Await<bool>([&problem](HistoryStore& store) {
        if (!store.Clear())
            problem = store.Error();
        return true;
    });
    Refresh();
    if (!problem.isEmpty())
        m_messages.Show(this, MessageSink::Kind::Error,
                        QStringLiteral("The history could not be cleared: %1").arg(problem));
}

} // namespace vesk
