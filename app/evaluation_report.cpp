#include "app/evaluation_report.h"

#include "app/evaluation_charts.h"
#include "description/picture_fit.h"
#include "evaluation/accuracy_report.h"
#include "evaluation/report_html.h"
#include "files/regular_file.h"
#include "files/whole_write.h"

#include <QBuffer>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChartView>

#include <stdexcept>

using namespace QtCharts;

namespace {

// A figure shown to three decimals that sorts by its value; the value itself
// (-1 where absent) is its Qt::UserRole.
class FigureItem : public QTableWidgetItem
{
public:
    explicit FigureItem(double value, bool count = false)
        : QTableWidgetItem(count ? QString::number(value, 'f', 0) : QString::fromStdString(figureText(value)))
    {
        setData(Qt::UserRole, value);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem &other) const override
    {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

QTableWidget *newTable(const QString &name, const QStringList &columns)
{
    auto *table = new QTableWidget(0, columns.size());
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(columns);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

void addRow(QTableWidget *table, const QString &name, const std::vector<QTableWidgetItem *> &items)
{
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, 0, new QTableWidgetItem(name));
    for (std::size_t i = 0; i < items.size(); ++i)
        table->setItem(row, int(i) + 1, items[i]);
}

QByteArray pngOf(QChartView *view)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    view->grab().toImage().save(&buffer, "PNG");
    return png;
}

// Written through a temporary file: an old report stays whole when this fails.
void saveFile(const QString &path, const QByteArray &contents, const char *meant)
{
    const auto fail = [&](const QString &reason) {
        throw std::runtime_error(
            QObject::tr("Cannot save the report to %1: %2").arg(QDir::toNativeSeparators(path), reason).toStdString());
    };
    if (const std::string problem = regularFileProblem(path, meant); !problem.empty())
        fail(QString::fromStdString(problem));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeWhole(file, contents) || !file.commit())
        fail(file.errorString());
}

} // namespace

EvaluationReport::EvaluationReport(std::shared_ptr<const DataSetReport> report, EvaluationSetting evaluated,
                                   QWidget *parent)
    : QWidget(parent, Qt::Window), figures(std::move(report)), setting(std::move(evaluated))
{
    setWindowTitle(tr("Accuracy on %1").arg(QFileInfo(figures->dataSet).fileName()));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);

    QString about = tr("<b>%1</b> (%2, %3 pictures) on %4")
                        .arg(QDir::toNativeSeparators(figures->dataSet).toHtmlEscaped(),
                             QString::fromLatin1(dataSetKindName(figures->format)),
                             QString::number(figures->pictures), figures->board.toHtmlEscaped());
    if (figures->referenceAccuracy)
        about += tr(", against %1").arg(figures->reference.toHtmlEscaped());
    about += tr("<br>Description %1; pictures fitted by %2")
                 .arg(QDir::toNativeSeparators(setting.description).toHtmlEscaped(),
                      QString::fromLatin1(pictureFitName(figures->resize)));
    if (figures->accuracy.kind == AccuracyFigures::Kind::Boxes)
        about += tr("; detections down to a confidence of %1 scored, counts at %2")
                     .arg(figures->confidence)
                     .arg(figures->threshold);
    auto *summary = new QLabel(about);
    summary->setObjectName(QStringLiteral("report_summary"));
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary);
    if (!figures->warning.empty()) {
        auto *warning = new QLabel(tr("Warning: %1").arg(QString::fromStdString(figures->warning)));
        warning->setObjectName(QStringLiteral("report_warning"));
        warning->setWordWrap(true);
        warning->setStyleSheet(QStringLiteral("color: #a04000"));
        layout->addWidget(warning);
    }

    auto *tabs = new QTabWidget;
    tabs->addTab(overallTable(), tr("Figures"));
    tabs->addTab(classTable(), tr("Classes"));
    for (const NamedChart &named : reportCharts(*figures)) {
        auto *view = new QChartView(named.chart);
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(560, 380);
        charts.emplace_back(named.title, view);
        tabs->addTab(view, named.title);
    }
    layout->addWidget(tabs, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton *save = buttons->addButton(tr("Save Report..."), QDialogButtonBox::ActionRole);
    connect(save, &QPushButton::clicked, this, [this] { saveReportAs(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    layout->addWidget(buttons);
    resize(760, 600);
}

QTableWidget *EvaluationReport::overallTable() const
{
    QStringList columns{tr("figure"), figures->board};
    if (figures->referenceAccuracy)
        columns << figures->reference << tr("ratio");
    QTableWidget *table = newTable(QStringLiteral("figures_table"), columns);
    const auto board = overallFigures(figures->accuracy);
    for (std::size_t i = 0; i < board.size(); ++i) {
        std::vector<QTableWidgetItem *> items{new FigureItem(board[i].second)};
        if (figures->referenceAccuracy) {
            const double reference = overallFigures(*figures->referenceAccuracy)[i].second;
            items.push_back(new FigureItem(reference));
            items.push_back(new FigureItem(figureRatio(board[i].second, reference)));
        }
        addRow(table, QString::fromStdString(board[i].first), items);
    }
    return table;
}

QTableWidget *EvaluationReport::classTable() const
{
    const AccuracyFigures &a = figures->accuracy;
    const AccuracyFigures *r = figures->referenceAccuracy ? &*figures->referenceAccuracy : nullptr;
    const QString ref = QStringLiteral(" (%1)").arg(figures->reference);
    QStringList columns;
    switch (a.kind) {
    case AccuracyFigures::Kind::Boxes:
        columns = QStringList{tr("class"), tr("objects"), "AP", "AP50", "TP", "FP", tr("precision"), tr("recall"), "F1"};
        if (r)
            columns << "AP" + ref << "AP50" + ref;
        break;
    case AccuracyFigures::Kind::Labels:
        columns = QStringList{tr("class"), tr("pictures"), tr("top-1"), tr("top-5")};
        if (r)
            columns << tr("top-1") + ref << tr("top-5") + ref;
        break;
    case AccuracyFigures::Kind::Masks:
        columns = QStringList{tr("class"), tr("pixels"), "IoU"};
        if (r)
            columns << "IoU" + ref;
        break;
    }
    QTableWidget *table = newTable(QStringLiteral("classes_table"), columns);
    const auto name = [](const std::string &label) { return QString::fromStdString(label); };
    switch (a.kind) {
    case AccuracyFigures::Kind::Boxes:
        for (std::size_t k = 0; k < a.boxes.classes.size(); ++k) {
            const ClassDetectionFigures &c = a.boxes.classes[k];
            std::vector<QTableWidgetItem *> items{
                new FigureItem(double(c.instances), true), new FigureItem(c.ap), new FigureItem(c.ap50),
                new FigureItem(double(c.truePositives), true), new FigureItem(double(c.falsePositives), true),
                new FigureItem(c.precision), new FigureItem(c.recall), new FigureItem(c.f1)};
            if (r)
                items.insert(items.end(), {new FigureItem(r->boxes.classes[k].ap), new FigureItem(r->boxes.classes[k].ap50)});
            addRow(table, name(c.label), items);
        }
        break;
    case AccuracyFigures::Kind::Labels:
        for (std::size_t k = 0; k < a.labels.classes.size(); ++k) {
            const ClassificationAccuracy::Class &c = a.labels.classes[k];
            std::vector<QTableWidgetItem *> items{new FigureItem(double(c.pictures), true), new FigureItem(c.top1),
                                                  new FigureItem(c.top5)};
            if (r)
                items.insert(items.end(),
                             {new FigureItem(r->labels.classes[k].top1), new FigureItem(r->labels.classes[k].top5)});
            addRow(table, name(c.label), items);
        }
        break;
    case AccuracyFigures::Kind::Masks:
        for (std::size_t k = 0; k < a.masks.classes.size(); ++k) {
            const SegmentationAccuracy::Class &c = a.masks.classes[k];
            std::vector<QTableWidgetItem *> items{new FigureItem(double(c.pixels), true), new FigureItem(c.iou)};
            if (r)
                items.push_back(new FigureItem(r->masks.classes[k].iou));
            addRow(table, name(c.label), items);
        }
        break;
    }
    table->setSortingEnabled(true);
    return table;
}

QByteArray EvaluationReport::reportJson(const QString &jsonPath) const
{
    EvaluationSetting again = setting;
    again.jsonPath = jsonPath;
    QJsonObject object{{"description", QFileInfo(setting.description).absoluteFilePath()},
                       {"board", figures->board},
                       {"command_line", evaluationCommandLine(again)}};
    insertAccuracy(object, *figures);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

void EvaluationReport::saveReport(const QString &htmlPath) const
{
    const QFileInfo html(htmlPath);
    const QString jsonPath = html.dir().filePath(html.completeBaseName() + QStringLiteral(".json"));
    EvaluationSetting again = setting;
    again.jsonPath = jsonPath;
    std::vector<ReportChart> pictures;
    for (const auto &[title, view] : charts)
        pictures.push_back({title, pngOf(view)});
    saveFile(htmlPath, reportHtml(*figures, setting.description, evaluationCommandLine(again), pictures),
             "report file");
    saveFile(jsonPath, reportJson(jsonPath), "report file");
}

void EvaluationReport::saveReportAs()
{
    const QString suggested = QFileInfo(figures->dataSet).completeBaseName() + QStringLiteral("-accuracy.html");
    QString path = QFileDialog::getSaveFileName(this, tr("Save Report"), suggested, tr("HTML report (*.html)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().compare(QLatin1String("html"), Qt::CaseInsensitive) != 0
        && QFileInfo(path).suffix().compare(QLatin1String("htm"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".html");
    try {
        saveReport(path);
    } catch (const std::exception &error) {
        QMessageBox::warning(this, tr("Save Report"), QString::fromUtf8(error.what()));
    }
}
