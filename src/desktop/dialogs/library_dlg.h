#pragma once
// Setup -> Library...: the subject library the window uses. A library file (the default beside the DATA
// folder, or another one chosen with Browse) or a library on a PostgreSQL server, named by a libpq
// connection URI ("postgresql://lab-server/velkora?sslmode=verify-full") or a service ("service=lab").
// Test connection checks the choice on a thread of the program's pool, so the dialog keeps answering while
// a server does not, and says in plain words what failed. No password is kept or shown: libpq finds it in
// ~/.pgpass, a service file or PGPASSWORD.

#include <QString>
#include <memory>
#include <string>

#include "desktop/dialogs/control_dialog.h"
#include "library/library_location.h"

class QLabel;
class QLineEdit;
class QRadioButton;
class QTimer;

namespace velkora {

// The answer of Test connection: what failed in plain words, or that it works; then the details.
QString connectionVerdict(const LibraryConnectionCheck& check);

class CLibraryDlg final : public ControlDialog {
  Q_OBJECT

 public:
  static constexpr int32_t kFileChoice = 1301;
  static constexpr int32_t kFilePath = 1302;
  static constexpr int32_t kBrowse = 1303;
  static constexpr int32_t kServerChoice = 1304;
  static constexpr int32_t kServerAddress = 1305;
  static constexpr int32_t kTestConnection = 1306;
  static constexpr int32_t kConnectionResult = 1307;

  // `current` is the library in use (shown without its password), `defaultFile` the library file beside
  // the DATA folder, offered when the current library is a server.
  CLibraryDlg(const std::string& current, const std::string& defaultFile, QWidget* parent = nullptr);
  ~CLibraryDlg() override;

  // After OK: the library chosen, as typed (a password typed into a server's address serves this run only;
  // what is kept has none).
  const std::string& location() const { return location_; }
  // The library the fields name now; empty with the reason in `problem` when they name none.
  std::string typedLocation(QString& problem) const;

  // Checks the typed library away from the window's thread; the answer shows under the button.
  void testConnection();
  bool testing() const { return check_ != nullptr; }
  QLabel* connectionResult() const { return result_; }
  // Chooses a library file with the file dialog.
  void browse();

 protected:
  bool exchange() override;

 private:
  struct Check;
  void showChoice();
  void takeCheck();

  QRadioButton* fileChoice_;
  QLineEdit* filePath_;
  QRadioButton* serverChoice_;
  QLineEdit* serverAddress_;
  QLabel* result_;
  QTimer* poll_;
  std::shared_ptr<Check> check_;  // the running check, shared with the thread that runs it
  std::string location_;
};

}  // namespace velkora
