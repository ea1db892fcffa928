#include "desktop/dialogs/library_dlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>
#include <mutex>

#include "desktop/message_box.h"

namespace velkora {

// What the thread that runs a check and the dialog share: the answer once it is there.
struct CLibraryDlg::Check {
  std::mutex mutex;
  bool done = false;
  LibraryConnectionCheck answer;
};

QString connectionVerdict(const LibraryConnectionCheck& check) {
  QString headline;
  switch (check.problem) {
    case LibraryConnectionProblem::None:
      headline = QStringLiteral("The connection works.");
      break;
    case LibraryConnectionProblem::Unreachable:
      headline = QStringLiteral("The server cannot be reached.");
      break;
    case LibraryConnectionProblem::Authentication:
      headline = QStringLiteral("The server refused the user or the password.");
      break;
    case LibraryConnectionProblem::Tls:
      headline = QStringLiteral("The encrypted connection (TLS) could not be made.");
      break;
    case LibraryConnectionProblem::SchemaTooNew:
      headline = QStringLiteral("The library is of a newer Velkora: this one cannot use it.");
      break;
    case LibraryConnectionProblem::Other:
      headline = QStringLiteral("The library cannot be used.");
      break;
  }
  return check.message.empty() ? headline : headline + QLatin1Char('\n') + QString::fromStdString(check.message);
}

CLibraryDlg::CLibraryDlg(const std::string& current, const std::string& defaultFile, QWidget* parent)
    : ControlDialog(parent, QStringLiteral("Library")),
      fileChoice_(new QRadioButton(QStringLiteral("Library &file"), this)),
      filePath_(new QLineEdit(this)),
      serverChoice_(new QRadioButton(QStringLiteral("&Server (PostgreSQL)"), this)),
      serverAddress_(new QLineEdit(this)),
      result_(new QLabel(this)),
      poll_(new QTimer(this)) {
  add(kFileChoice, fileChoice_, QStringLiteral("Library file"));
  add(kFilePath, filePath_, QStringLiteral("Library file path"));
  add(kServerChoice, serverChoice_, QStringLiteral("Server"));
  add(kServerAddress, serverAddress_, QStringLiteral("Server address"));
  auto* browseButton = add(kBrowse, new QPushButton(QStringLiteral("&Browse..."), this), QStringLiteral("Browse"));
  auto* testButton = add(kTestConnection, new QPushButton(QStringLiteral("&Test connection"), this),
                         QStringLiteral("Test connection"));
  add(kConnectionResult, result_, QStringLiteral("Connection result"));
  for (QPushButton* b : {browseButton, testButton}) b->setAutoDefault(false);

  auto* column = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  grid->setColumnMinimumWidth(0, 18);
  grid->addWidget(fileChoice_, 0, 0, 1, 3);
  grid->addWidget(filePath_, 1, 1);
  grid->addWidget(browseButton, 1, 2);
  grid->addWidget(serverChoice_, 2, 0, 1, 3);
  grid->addWidget(serverAddress_, 3, 1, 1, 2);
  auto* hint = new QLabel(
      QStringLiteral("A libpq address such as postgresql://lab-server/velkora?sslmode=verify-full or service=lab.\n"
                     "Velkora keeps no password: libpq reads it from ~/.pgpass, a service file or PGPASSWORD."),
      this);
  hint->setAccessibleName(QStringLiteral("Server hint"));
  hint->setEnabled(false);
  grid->addWidget(hint, 4, 1, 1, 2);
  grid->setColumnStretch(1, 1);
  column->addLayout(grid);
  auto* testRow = new QHBoxLayout();
  testRow->addWidget(testButton);
  testRow->addStretch(1);
  column->addLayout(testRow);
  result_->setWordWrap(true);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Room for the longest answers (a server's own words), so the dialog need not grow when one comes.
  result_->setMinimumHeight(result_->fontMetrics().lineSpacing() * 5);
  result_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  column->addWidget(result_);
  column->addWidget(addOkCancel());
  filePath_->setPlaceholderText(QStringLiteral("a library file (.sqlite)"));
  serverAddress_->setPlaceholderText(QStringLiteral("postgresql://HOST/DATABASE?sslmode=verify-full or service=NAME"));
  setMinimumWidth(620);

  const bool server = libraryLocationKind(current) == LibraryLocationKind::Server;
  (server ? serverChoice_ : fileChoice_)->setChecked(true);
  filePath_->setText(QString::fromStdString(server ? defaultFile : current));
  if (server) serverAddress_->setText(QString::fromStdString(withoutPassword(current)));
  showChoice();

  connect(fileChoice_, &QRadioButton::toggled, this, &CLibraryDlg::showChoice);
  connect(browseButton, &QPushButton::clicked, this, &CLibraryDlg::browse);
  connect(testButton, &QPushButton::clicked, this, &CLibraryDlg::testConnection);
  // An answer about other text would mislead.
  for (QLineEdit* edit : {filePath_, serverAddress_})
    connect(edit, &QLineEdit::textEdited, this, [this] {
      if (!testing()) result_->clear();
    });
  poll_->setInterval(30);
  connect(poll_, &QTimer::timeout, this, &CLibraryDlg::takeCheck);
}

CLibraryDlg::~CLibraryDlg() = default;

void CLibraryDlg::showChoice() {
  const bool file = fileChoice_->isChecked();
  filePath_->setEnabled(file);
  control(kBrowse)->setEnabled(file);
  serverAddress_->setEnabled(!file);
  result_->clear();
}

std::string CLibraryDlg::typedLocation(QString& problem) const {
  problem.clear();
  if (fileChoice_->isChecked()) {
    const QString text = filePath_->text().trimmed();
    if (text.isEmpty()) {
      problem = QStringLiteral("Name the library file.");
      return {};
    }
    const std::string path = QFileInfo(text).absoluteFilePath().toUtf8().toStdString();
    if (libraryLocationKind(text.toStdString()) == LibraryLocationKind::Server) {
      problem = QStringLiteral("This names a server: choose Server for it.");
      return {};
    }
    if (QFileInfo(text).isDir()) {
      problem = QStringLiteral("%1 is a folder: name a library file in it.").arg(text);
      return {};
    }
    return path;
  }
  const std::string text = serverAddress_->text().trimmed().toStdString();
  if (libraryLocationKind(text) != LibraryLocationKind::Server) {
    problem = QStringLiteral(
        "Give the server as postgresql://HOST/DATABASE (with ?sslmode=verify-full for a server "
        "outside the lab) or service=NAME.");
    return {};
  }
  return text;
}

void CLibraryDlg::testConnection() {
  if (testing()) return;
  QString problem;
  const std::string location = typedLocation(problem);
  if (location.empty()) {
    result_->setText(problem);
    return;
  }
  result_->setText(QStringLiteral("Testing %1 ...").arg(QString::fromStdString(withoutPassword(location))));
  control(kTestConnection)->setEnabled(false);
  check_ = std::make_shared<Check>();
  // The pool's thread only fills the shared answer; the dialog takes it on its own thread. A dialog closed
  // meanwhile leaves the answer to nobody, and the program waits for the pool's threads when it ends.
  QThreadPool::globalInstance()->start([check = check_, location] {
    LibraryConnectionCheck answer = testLibraryConnection(location);
    const std::lock_guard lock(check->mutex);
    check->answer = std::move(answer);
    check->done = true;
  });
  poll_->start();
}

void CLibraryDlg::takeCheck() {
  if (!check_) return;
  {
    const std::lock_guard lock(check_->mutex);
    if (!check_->done) return;
    result_->setText(connectionVerdict(check_->answer));
  }
  check_.reset();
  poll_->stop();
  control(kTestConnection)->setEnabled(true);
}

void CLibraryDlg::browse() {
  QFileDialog dialog(this, QStringLiteral("Library file"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // An existing library is opened, not replaced: no question.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilter(QStringLiteral("Velkora library (*.sqlite)"));
  dialog.setDefaultSuffix(QStringLiteral("sqlite"));
  const QFileInfo current(filePath_->text().trimmed());
  if (!filePath_->text().trimmed().isEmpty()) {
    dialog.setDirectory(current.absolutePath());
    dialog.selectFile(current.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  fileChoice_->setChecked(true);
  filePath_->setText(dialog.selectedFiles().front());
  result_->clear();
}

bool CLibraryDlg::exchange() {
  QString problem;
  std::string location = typedLocation(problem);
  if (location.empty()) {
    showMessageBox(this, problem.toStdString());
    (fileChoice_->isChecked() ? filePath_ : serverAddress_)->setFocus();
    return false;
  }
  location_ = std::move(location);
  return true;
}

}  // namespace velkora
