#include "print/TPrinter.h"

#include <QCoreApplication>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

// The spooler options chosen in the print dialog's option pages (page set, pages per
// sheet and the like) are kept by Qt's CUPS engine under this key.
constexpr auto CupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

std::unique_ptr<TPrinter> &theOne()
{
    static std::unique_ptr<TPrinter> printer;
    return printer;
}

// A printer is one of the system's only while Qt's printer support reaches it; without
// a print system Qt quietly makes any QPrinter a PDF writer with no file to write.
bool isSystemPrinter(const QPrinter &printer)
{
    return printer.outputFormat() == QPrinter::NativeFormat && !printer.printerName().isEmpty()
        && QPrinterInfo::availablePrinterNames().contains(printer.printerName());
}

} // namespace

TPrinter &TPrinter::instance()
{
    std::unique_ptr<TPrinter> &printer = theOne();
    if (!printer) {
        printer = std::make_unique<TPrinter>();
        // Gone before the application, whose printer support the device needs.
        qAddPostRoutine(&TPrinter::release);
    }
    return *printer;
}

void TPrinter::release()
{
    theOne().reset();
}

TPrinter::TPrinter()
    : m_device(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
}

TPrinter::~TPrinter()
{
    if (m_canvas.isActive())
        m_canvas.end();
}

void TPrinter::ensureSelected()
{
    if (m_selected)
        return;
    // The default printer counts only when it is installed under exactly that name.
    const QString name = QPrinterInfo::defaultPrinterName();
    if (name.isEmpty() || !QPrinterInfo::availablePrinterNames().contains(name))
        throw EPrinter(QString::fromLatin1(NoDefaultPrinter));
    m_device->setOutputFormat(QPrinter::NativeFormat);
    m_device->setPrinterName(name);
    if (!isSystemPrinter(*m_device))
        throw EPrinter(QString::fromLatin1(NoDefaultPrinter));
    m_selected = true;
}

bool TPrinter::hasSelection() const
{
    return m_selected;
}

QString TPrinter::printerName() const
{
    return m_selected ? m_device->printerName() : QString();
}

void TPrinter::copyTo(QPrinter &target)
{
    ensureSelected();
    copyDeviceSettings(*m_device, target);
}

void TPrinter::takeFrom(const QPrinter &chosen)
{
    if (m_printing)
        throw EPrinter(QString::fromLatin1(PrintingInProgress));
    if (!isSystemPrinter(chosen))
        throw EPrinter(QString::fromLatin1(NotSupported));
    copyDeviceSettings(chosen, *m_device);
    if (!isSystemPrinter(*m_device))
        throw EPrinter(QString::fromLatin1(NotSupported));
    m_selected = true;
}

void TPrinter::requireDeviceSettings() const
{
    if (!m_selected || !m_device->isValid())
        throw EPrinter(QString::fromLatin1(NotSupported));
}

int TPrinter::copies() const
{
    requireDeviceSettings();
    return m_device->copyCount();
}

void TPrinter::setCopies(int copies)
{
    requireDeviceSettings();
    m_device->setCopyCount(copies);
}

bool TPrinter::collated() const
{
    requireDeviceSettings();
    return m_device->collateCopies();
}

void TPrinter::copyDeviceSettings(const QPrinter &from, QPrinter &to)
{
    if (from.outputFormat() == QPrinter::NativeFormat) {
        to.setOutputFormat(QPrinter::NativeFormat);
        to.setPrinterName(from.printerName());
    }
    to.setPageLayout(from.pageLayout());
    to.setCopyCount(from.copyCount());
    to.setCollateCopies(from.collateCopies());
    to.setDuplex(from.duplex());
    to.setColorMode(from.colorMode());
    to.setPageOrder(from.pageOrder());
    const QVariant options = from.printEngine()->property(CupsOptionsKey);
    if (options.typeId() == QMetaType::QStringList)
        to.printEngine()->setProperty(CupsOptionsKey, options);
}

void TPrinter::beginDoc()
{
    if (m_printing)
        throw EPrinter(QString::fromLatin1(PrintingInProgress));
    ensureSelected();
    if (!isSystemPrinter(*m_device))
        throw EPrinter(QString::fromLatin1(PrinterNotValid));
    m_device->setDocName(m_title.left(MaxTitleLength));
    m_device->setFullPage(false);
    if (!m_canvas.begin(m_device.get()))
        throw EPrinter(QString::fromLatin1(PrinterNotValid));
    m_printing = true;
}

void TPrinter::newPage()
{
    // What the spooler says about a page is not the user's concern.
    m_device->newPage();
    abortCheck();
}

void TPrinter::endDoc()
{
    if (m_canvas.isActive())
        m_canvas.end();
    m_printing = false;
}

void TPrinter::abortDoc()
{
    if (m_canvas.isActive()) {
        m_device->abort();
        m_canvas.end();
    }
    m_printing = false;
}

void TPrinter::abortCheck()
{
    // The window stays live between pages; the job is never aborted from here.
    QCoreApplication::processEvents();
}

int TPrinter::pixelsPerInchX() const
{
    return m_device->logicalDpiX();
}

int TPrinter::pixelsPerInchY() const
{
    return m_device->logicalDpiY();
}

int TPrinter::pageWidth() const
{
    return m_device->width();
}

int TPrinter::pageHeight() const
{
    return m_device->height();
}
