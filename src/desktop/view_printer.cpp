#include "desktop/view_printer.h"

#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QString>
#include <QTimer>

#include "desktop/message_box.h"
#include "painting/page_printing.h"

namespace velkora {
namespace {

constexpr std::string_view kPrintFailed = "The document could not be printed.";

}  // namespace

ViewPrinter::ViewPrinter(QWidget* parent, DocumentSource document)
    : parent_(parent), document_(std::move(document)), printer_(QPrinter::HighResolution) {
  printer_.setDocName(QStringLiteral("Velkora"));
  printer_.setCreator(QStringLiteral("Velkora"));
}

bool ViewPrinter::printTo(QPrinter& printer) const {
  const PrintDocument document = document_();
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const bool printed = printDocument(printer, document);
  QGuiApplication::restoreOverrideCursor();
  return printed;
}

bool ViewPrinter::print() {
  QPrintDialog dialog(&printer_, parent_);
  dialog.setWindowTitle(QStringLiteral("Print"));
  if (dialog.exec() != QDialog::Accepted) return false;
  if (printTo(printer_)) return true;
  showMessageBox(parent_, kPrintFailed);
  return false;
}

void ViewPrinter::preview() {
  QPrintPreviewDialog dialog(&printer_, parent_);
  dialog.setWindowTitle(QStringLiteral("Print Preview"));
  // Pages that cannot be drawn (no font for their text) are no preview either: the preview closes
  // and the user is told, as for a print. Its own Print button paints through here too.
  bool failed = false;
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [this, &dialog, &failed](QPrinter* printer) {
    if (printTo(*printer) || failed) return;
    failed = true;
    QTimer::singleShot(0, &dialog, &QDialog::reject);
  });
  dialog.exec();
  if (failed) showMessageBox(parent_, kPrintFailed);
}

void ViewPrinter::pageSetup() {
  QPageSetupDialog dialog(&printer_, parent_);
  dialog.exec();
}

}  // namespace velkora
