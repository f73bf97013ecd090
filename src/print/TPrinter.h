#pragma once

#include "core/Exceptions.h"

#include <QPainter>
#include <QString>

#include <memory>

class QPrinter;

// A failure of the printer object; the message is one of TPrinter's texts.
class EPrinter : public Exception
{
public:
    using Exception::Exception;
};

// The one printer of the program: the chosen printer with its device settings, kept
// for the rest of the run, and the job under way on it.
class TPrinter
{
public:
    static constexpr char NoDefaultPrinter[] = "There is no default printer currently selected";
    static constexpr char PrinterNotValid[] = "Printer selected is not valid";
    static constexpr char NotSupported[] = "Operation not supported on selected printer";
    static constexpr char PrintingInProgress[] = "Printing in progress";
    // Job titles are cut to this length, so that a job is named in the print queue as
    // the Windows program names it.
    static constexpr int MaxTitleLength = 31;

    // The printer object, created on first use and destroyed with the application.
    static TPrinter &instance();
    // Destroys it, so that the next use starts afresh from the default printer.
    static void release();

    TPrinter();
    ~TPrinter();
    TPrinter(const TPrinter &) = delete;
    TPrinter &operator=(const TPrinter &) = delete;

    // Selects the system's default printer unless one is selected already.
    // Throws EPrinter(NoDefaultPrinter) when no installed printer is the default.
    void ensureSelected();
    bool hasSelection() const;
    QString printerName() const;

    // Sets a dialog's printer up as a copy of the selection (selecting the default
    // printer first), so that a cancelled dialog changes nothing.
    void copyTo(QPrinter &target);
    // Makes the printer and settings chosen in a dialog the selection.
    // Throws PrintingInProgress while a job runs, NotSupported when the chosen printer
    // has no device settings (it has gone, or is no printer of the system).
    void takeFrom(const QPrinter &chosen);

    // The copy count and collation of the device settings; NotSupported without them.
    int copies() const;
    void setCopies(int copies);
    bool collated() const;

    // The job. beginDoc() throws PrintingInProgress or PrinterNotValid.
    void setTitle(const QString &title) { m_title = title; }
    QString title() const { return m_title; }
    bool printing() const { return m_printing; }
    void beginDoc();
    void newPage();
    void endDoc();
    // Ends a job cut short by a failure: nothing more is drawn, the printing flag drops.
    void abortDoc();

    // Drawing and measuring during a job.
    QPainter &canvas() { return m_canvas; }
    int pixelsPerInchX() const;
    int pixelsPerInchY() const;
    int pageWidth() const;  // printable width in pixels
    int pageHeight() const; // printable height in pixels

    // The device itself, for code that reads its settings.
    const QPrinter &device() const { return *m_device; }

    // Copies printer, paper, orientation, copies, collation and the spooler options.
    static void copyDeviceSettings(const QPrinter &from, QPrinter &to);

private:
    void requireDeviceSettings() const;
    // Lets the program handle its pending events while the job spools.
    static void abortCheck();

    std::unique_ptr<QPrinter> m_device;
    bool m_selected = false;
    bool m_printing = false;
    QString m_title;
    QPainter m_canvas;
};
