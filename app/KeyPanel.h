#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "app/PageServices.h"
#include "commands/ReplyDisplays.h"
#include "keys/KeyDerivation.h"
#include "keys/KeyFile.h"

class QChar;
class QKeyEvent;

namespace Ui {
class TFormMain;
}

namespace lumvaris::app {

class TFormHashCalculate;

// The key panel of the "Концентратор" page, "Ключ шифрования для 'закрытой' сети ", shown while
// "'Закрытые' сети, шифрование" is ticked: the fingerprint of the key the concentrator holds, and
// a key set by name. The name's key is taken from the key file "Keys.ini" of the program directory
// or derived in the computation window (and then stored there); the concentrator gets its 32
// bytes. The workstation itself never encrypts or decrypts a frame.
class KeyPanel final : public QObject, public commands::IKeyDisplay {
    Q_OBJECT
  public:
    // programDirectory with a trailing '/'.
    KeyPanel(Ui::TFormMain& form, const PageServices& services, const QString& programDirectory);

    void SetHashDialog(TFormHashCalculate* dialog);
    const QString& KeyFilePath() const { return keyFile_.Path(); }

    // Start-up: the identifiers of the key file become the list of ComboBoxKey, in file order;
    // no item is selected and the text is empty.
    void LoadKeyNames(const QStringList& names);

    // PanelKey shows exactly while CheckBoxUseCrypto is ticked.
    void CheckBoxUseCryptoClick();
    void ButtonGetFPClick();
    // The computation window for the typed name; once it closes with the key, KeyWrite.
    void ButtonSetKeyClick();
    // The window's key preview for the key field: the numeric-keypad plus appends one random
    // letter or digit (the plus itself is not typed), and "=" without Shift, Ctrl or Alt is
    // swallowed. True when the key was taken.
    bool ComboBoxKeyKeyDown(const QObject* target, const QKeyEvent& event);

    // commands::IKeyDisplay
    void ShowFingerprint(const QString& fingerprint) override;

  private:
    void HashCalculateFinished(int result);

    Ui::TFormMain& form_;
    PageServices services_;
    keys::KeyFile keyFile_;
    keys::KeyDerivation derivation_{keyFile_};
    TFormHashCalculate* dialog_ = nullptr;
};

}  // namespace lumvaris::app
