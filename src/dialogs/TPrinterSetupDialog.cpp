#include "dialogs/TPrinterSetupDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const char DialogTitle[] = "Print Setup";
const char PrinterGroup[] = "Printer";
const char NameLabel[] = "&Name:";
const char StatusLabel[] = "Status:";
const char TypeLabel[] = "Type:";
const char WhereLabel[] = "Where:";
const char CommentLabel[] = "Comment:";
const char PaperGroup[] = "Paper";
const char SizeLabel[] = "Si&ze:";
const char OrientationGroup[] = "Orientation";
const char PortraitCaption[] = "P&ortrait";
const char LandscapeCaption[] = "L&andscape";
const char DefaultMark[] = "Default printer; ";

constexpr QPageSize::PageSizeId CommonSizes[] = {
    QPageSize::A3,     QPageSize::A4,        QPageSize::A5,       QPageSize::B5,
    QPageSize::Letter, QPageSize::Legal,     QPageSize::Executive, QPageSize::Tabloid,
    QPageSize::Comm10E, QPageSize::DLE,      QPageSize::C5E,
};

QString stateText(QPrinter::PrinterState state)
{
    switch (state) {
    case QPrinter::Idle:
        return QStringLiteral("Ready");
    case QPrinter::Active:
        return QStringLiteral("Printing");
    case QPrinter::Aborted:
        return QStringLiteral("Stopped");
    case QPrinter::Error:
        return QStringLiteral("Error");
    }
    return {};
}

} // namespace

TPrinterSetupDialog::TPrinterSetupDialog(QPrinter *printer, QWidget *parent)
    : QDialog(parent)
    , m_printer(printer)
    , m_wantedSize(printer->pageLayout().pageSize())
{
    setWindowTitle(QString::fromLatin1(DialogTitle));

    m_printers = new QComboBox(this);
    m_printers->setObjectName(QString::fromLatin1(PrinterComboName));
    m_printers->addItems(QPrinterInfo::availablePrinterNames());
    m_status = new QLabel(this);
    m_type = new QLabel(this);
    m_where = new QLabel(this);
    m_comment = new QLabel(this);
    auto *printerForm = new QFormLayout;
    auto *nameLabel = new QLabel(QString::fromLatin1(NameLabel), this);
    nameLabel->setBuddy(m_printers);
    printerForm->addRow(nameLabel, m_printers);
    printerForm->addRow(QString::fromLatin1(StatusLabel), m_status);
    printerForm->addRow(QString::fromLatin1(TypeLabel), m_type);
    printerForm->addRow(QString::fromLatin1(WhereLabel), m_where);
    printerForm->addRow(QString::fromLatin1(CommentLabel), m_comment);
    auto *printerBox = new QGroupBox(QString::fromLatin1(PrinterGroup), this);
    printerBox->setLayout(printerForm);

    m_papers = new QComboBox(this);
    m_papers->setObjectName(QString::fromLatin1(PaperComboName));
    auto *paperForm = new QFormLayout;
    auto *sizeLabel = new QLabel(QString::fromLatin1(SizeLabel), this);
    sizeLabel->setBuddy(m_papers);
    paperForm->addRow(sizeLabel, m_papers);
    auto *paperBox = new QGroupBox(QString::fromLatin1(PaperGroup), this);
    paperBox->setLayout(paperForm);

    m_portrait = new QRadioButton(QString::fromLatin1(PortraitCaption), this);
    m_portrait->setObjectName(QString::fromLatin1(PortraitName));
    m_landscape = new QRadioButton(QString::fromLatin1(LandscapeCaption), this);
    m_landscape->setObjectName(QString::fromLatin1(LandscapeName));
    (printer->pageLayout().orientation() == QPageLayout::Landscape ? m_landscape : m_portrait)->setChecked(true);
    auto *orientationLayout = new QVBoxLayout;
    orientationLayout->addWidget(m_portrait);
    orientationLayout->addWidget(m_landscape);
    auto *orientationBox = new QGroupBox(QString::fromLatin1(OrientationGroup), this);
    orientationBox->setLayout(orientationLayout);

    auto *lower = new QHBoxLayout;
    lower->addWidget(paperBox, 1);
    lower->addWidget(orientationBox);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(printerBox);
    layout->addLayout(lower);
    layout->addWidget(buttons);

    connect(m_papers, &QComboBox::activated, this,
            [this](int index) { m_wantedSize = m_papers->itemData(index).value<QPageSize>(); });
    connect(m_printers, &QComboBox::currentTextChanged, this, &TPrinterSetupDialog::showPrinter);
    const int current = m_printers->findText(printer->printerName());
    if (current >= 0 && current != m_printers->currentIndex())
        m_printers->setCurrentIndex(current);
    else
        showPrinter(m_printers->currentText());
    m_printers->setFocus();
}

void TPrinterSetupDialog::showPrinter(const QString &name)
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    QString status = stateText(info.state());
    if (info.isDefault())
        status.prepend(QString::fromLatin1(DefaultMark));
    m_status->setText(status);
    m_type->setText(info.makeAndModel());
    m_where->setText(info.location());
    m_comment->setText(info.description());

    // The paper chosen so far stays when this printer has it too.
    // A queue without a driver description names no sizes; any common one will do.
    QList<QPageSize> sizes = info.supportedPageSizes();
    if (sizes.isEmpty()) {
        for (QPageSize::PageSizeId id : CommonSizes)
            sizes.append(QPageSize(id));
        if (!m_wantedSize.isValid())
            m_wantedSize = m_printer->pageLayout().pageSize();
    }
    m_papers->clear();
    int chosen = -1;
    for (const QPageSize &size : sizes) {
        if (!size.isValid())
            continue;
        if (chosen < 0 && size.isEquivalentTo(m_wantedSize))
            chosen = m_papers->count();
        m_papers->addItem(size.name(), QVariant::fromValue(size));
    }
    if (chosen < 0) {
        for (int i = 0; i < m_papers->count() && chosen < 0; ++i) {
            if (m_papers->itemData(i).value<QPageSize>().isEquivalentTo(info.defaultPageSize()))
                chosen = i;
        }
    }
    m_papers->setCurrentIndex(std::max(chosen, 0));
}

void TPrinterSetupDialog::accept()
{
    const QString name = m_printers->currentText();
    if (!name.isEmpty() && name != m_printer->printerName()) {
        m_printer->setOutputFormat(QPrinter::NativeFormat);
        m_printer->setPrinterName(name);
    }
    if (m_papers->currentIndex() >= 0)
        m_printer->setPageSize(m_papers->currentData().value<QPageSize>());
    m_printer->setPageOrientation(m_landscape->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait);
    QDialog::accept();
}
