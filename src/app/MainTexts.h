#pragma once

// The main window's own texts.
namespace MainTexts {

inline constexpr char ApplicationTitle[] = "Pinnote";
inline constexpr char HelpFileName[] = "Pinnote.hlp";
inline constexpr char FirstPageName[] = "Memo";
inline constexpr char MemoPanelText[] = "Memo";

inline constexpr char ErrorCaption[] = "Error";
inline constexpr char CouldNotOpenNotes[] = "Could not open Pinnote.set If the problem persists, delete the file.";
inline constexpr char CouldNotSaveNotes[] = "Could not save Pinnote.set";
inline constexpr char ExitAnywayQuestion[] = "Could not save Pinnote.set. Exit anyway (all data will be lost)?";
inline constexpr char RemoveCaption[] = "Remove";
inline constexpr char CannotRemoveLast[] = "Sorry, you can't remove the last item";

inline constexpr char SaveButtonHint[] = "Save|Save the active document";
inline constexpr char CutButtonHint[] = "Cut|Cut selected items to clipboard";
inline constexpr char CopyButtonHint[] = "Copy|Copy selected item to clipboard";
inline constexpr char PasteButtonHint[] = "Paste|Paste clipboard contents";
inline constexpr char AddMemoButtonHint[] = "Add Memo|Add a new memo page";
inline constexpr char RemoveButtonHint[] = "Delete page|Delete the current page";
inline constexpr char PrintButtonHint[] = "Print|Print the current page";
inline constexpr char AboutButtonHint[] = "About|Show application version information";

inline constexpr char FileMenuCaption[] = "&File";
inline constexpr char FileSaveCaption[] = "&Save";
inline constexpr char FileSaveHint[] = "Save notes";
inline constexpr char FileExportCaption[] = "&Export";
inline constexpr char ExportTextCaption[] = "&Text (*.txt) file";
inline constexpr char ExportTextHint[] = "Export text to a .txt filr";
inline constexpr char ExportRtfCaption[] = "&Rich Text (*.rtf) file";
inline constexpr char ExportRtfHint[] = "Export text to a Rich Text (.rtf) file";
inline constexpr char FilePrintCaption[] = "&Print...";
inline constexpr char FilePrintHint[] = "Print the current page";
inline constexpr char PrinterSetupCaption[] = "P&rinter Setup...";
inline constexpr char PrinterSetupHint[] = "Set up the printer options";
inline constexpr char FileExitCaption[] = "E&xit";
inline constexpr char FileExitHint[] = "Exit the application";

inline constexpr char SearchMenuCaption[] = "&Search";
inline constexpr char SearchFindCaption[] = "&Find...";
inline constexpr char SearchFindHint[] = "Find text in this window";
inline constexpr char SearchFindAllCaption[] = "Find &all...";
inline constexpr char SearchFindAllHint[] = "Find text in all windows";
inline constexpr char SearchFindAgainCaption[] = "Find a&gain";
inline constexpr char SearchFindAgainHint[] = "Find next occurence of serach text";
inline constexpr char NotFound[] = "Not found";

inline constexpr char EditMenuCaption[] = "&Edit";
inline constexpr char EditCutCaption[] = "Cu&t";
inline constexpr char EditCutHint[] = "Cut the current selection to the clipboard";
inline constexpr char EditCopyCaption[] = "&Copy";
inline constexpr char EditCopyHint[] = "Copy the current selection to the clipboard";
inline constexpr char EditPasteCaption[] = "&Paste";
inline constexpr char EditPasteHint[] = "Paste the contents of the clipboard";
inline constexpr char EditDeleteCaption[] = "&Delete";
inline constexpr char EditDeleteHint[] = "Delete the current selection";
inline constexpr char EditSelectAllCaption[] = "Select &All";
inline constexpr char EditSelectAllHint[] = "Select all the text";

inline constexpr char ViewMenuCaption[] = "&View";
inline constexpr char ViewOnTopCaption[] = "&On Top";
inline constexpr char ViewOnTopHint[] = "Turn always-on-top mode on or off";
inline constexpr char ViewColourCaption[] = "&Colour...";
inline constexpr char ViewColourHint[] = "Set the window colour";
inline constexpr char ViewFontCaption[] = "&Font...";
inline constexpr char ViewFontHint[] = "Choose the font";
inline constexpr char ViewToolbarCaption[] = "&Toolbar";
inline constexpr char ViewToolbarHint[] = "Show or hide the Toolbar";
inline constexpr char ViewStatusCaption[] = "&Status";
inline constexpr char ViewStatusHint[] = "Show or hide the status window";

inline constexpr char PagesMenuCaption[] = "&Pages";
inline constexpr char PagesAddMemoCaption[] = "Add &Memo...";
inline constexpr char PagesAddMemoHint[] = "Add a new memo page";
inline constexpr char PagesRemoveCaption[] = "&Remove";
inline constexpr char PagesRemoveHint[] = "Remove the current active page";
inline constexpr char PagesPropertiesCaption[] = "&Properties...";
inline constexpr char PagesPropertiesHint[] = "Edit the page properties";

inline constexpr char HelpMenuCaption[] = "&Help";
inline constexpr char HelpContentsCaption[] = "&Contents";
inline constexpr char HelpContentsHint[] = "Show Help Contents";
inline constexpr char AboutCaption[] = "&About Pinnote...";
inline constexpr char AboutHint[] = "Show version and copyright information";

} // namespace MainTexts
