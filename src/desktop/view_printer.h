#pragma once
// Print, Print Preview and Print Setup of what the view shows. One printer serves the whole run, so
// what Print Setup and the print dialog chose carries over to the next print. The pages come from
// drawPage through the paper mapping; nothing here touches the scales the view keeps for the mouse.

#include <QPrinter>
#include <functional>

#include "view/print_page.h"

class QWidget;

namespace velkora {

class ViewPrinter {
 public:
  using DocumentSource = std::function<PrintDocument()>;

  ViewPrinter(QWidget* parent, DocumentSource document);

  // The print dialog, then every page onto the chosen printer or PDF file. False when cancelled or
  // when the pages could not be printed (the user is told).
  bool print();
  // The preview window with every page; closed with a message when the pages cannot be drawn.
  void preview();
  // The page setup dialog for the printer.
  void pageSetup();

  // Every page of the present document onto `printer`; false when painting cannot start.
  bool printTo(QPrinter& printer) const;

  QPrinter& printer() { return printer_; }

 private:
  QWidget* parent_;
  DocumentSource document_;
  QPrinter printer_;
};

}  // namespace velkora
