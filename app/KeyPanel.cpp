#include "app/KeyPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>

#include "app/IMessageBox.h"
#include "app/RequestStatusView.h"
#include "app/TFormHashCalculate.h"
#include "commands/CommandSender.h"
#include "commands/IConnectionControl.h"
#include "link/Requester.h"
#include "ui_FormMain.h"

namespace lumvaris::app {
namespace {

// One of the 62 letters and digits, each equally likely: drawn from 0..127 until one is.
QChar RandomKeyCharacter() {
    for (;;) {
        const char c = static_cast<char>(QRandomGenerator::global()->bounded(128));
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            return QLatin1Char(c);
        }
    }
}

}  // namespace

namespace request = commands::request;

KeyPanel::KeyPanel(Ui::TFormMain& form, const PageServices& services, const QString& programDirectory)
    : form_(form),
      services_(services),
      keyFile_(programDirectory + QString::fromLatin1(keys::KeyFile::kFileName)) {
    connect(form_.CheckBoxUseCrypto, &QCheckBox::toggled, this,
            services_.Guard([this] { CheckBoxUseCryptoClick(); }));
    connect(form_.ButtonGetFP, &QPushButton::clicked, this, services_.Guard([this] { ButtonGetFPClick(); }));
    connect(form_.ButtonSetKey, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonSetKeyClick(); }));
}

void KeyPanel::SetHashDialog(TFormHashCalculate* dialog) {
    if (dialog_ != nullptr) {
        disconnect(dialog_, nullptr, this, nullptr);
    }
    dialog_ = dialog;
    if (dialog_ != nullptr) {
        connect(dialog_, &QDialog::finished, this,
                [this](int result) { services_.guarded([this, result] { HashCalculateFinished(result); }); });
    }
}

void KeyPanel::LoadKeyNames(const QStringList& names) {
    QComboBox* keys = form_.ComboBoxKey;
    keys->clear();
    keys->addItems(names);
    keys->setCurrentIndex(-1);
    keys->setEditText(QString());
}

void KeyPanel::CheckBoxUseCryptoClick() {
    form_.PanelKey->setVisible(form_.CheckBoxUseCrypto->isChecked());
}

void KeyPanel::ButtonGetFPClick() {
    services_.sender.Send(request::Plain(commands::RequestType::FingerprintRead));
}

void KeyPanel::ButtonSetKeyClick() {
    if (dialog_ == nullptr || dialog_->Running()) {
        return;
    }
    if (!dialog_->Calculate(derivation_, form_.ComboBoxKey->currentText(), services_.timers) &&
        !derivation_.ErrorText().isEmpty()) {
        // A name the key file could not hold: refused before any hash, nothing shown or sent.
        services_.messages.Error(services_.window, derivation_.ErrorText());
    }
}

void KeyPanel::HashCalculateFinished(int result) {
    if (!derivation_.ErrorText().isEmpty()) {
        // The key file could not be written: the key is neither stored, listed nor sent.
        services_.messages.Error(services_.window, derivation_.ErrorText());
    }
    if (result != QDialog::Accepted) {
        return;
    }
    if (derivation_.EntryWritten()) {
        QComboBox* keys = form_.ComboBoxKey;
        // The key file matches names without regard to case; so does the list.
        if (keys->findText(derivation_.KeyName(), Qt::MatchFixedString) < 0) {
            keys->addItem(derivation_.KeyName());
        }
    }
    if (!services_.connection.IsOpen()) {
        // The port went while the key was derived; that was said then. The key is in the key file
        // and goes out with the next "Установить"; the status bar says it did not go now.
        services_.status.ShowText(tr("Ключ не передан: порт закрыт"));
        return;
    }
    services_.sender.Send(request::KeyWrite(derivation_.Key()));
}

bool KeyPanel::ComboBoxKeyKeyDown(const QObject* target, const QKeyEvent& event) {
    QComboBox* field = form_.ComboBoxKey;
    if (target != field && target != field->lineEdit()) {
        return false;
    }
    const Qt::KeyboardModifiers keys = event.modifiers();
    if (event.key() == Qt::Key_Plus && keys.testFlag(Qt::KeypadModifier)) {
        QLineEdit* edit = field->lineEdit();
        edit->setText(edit->text() + RandomKeyCharacter());
        edit->end(false);
        return true;
    }
    // A key name never holds "=": it would end the identifier in the key file.
    return event.key() == Qt::Key_Equal &&
           !(keys & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier));
}

void KeyPanel::ShowFingerprint(const QString& fingerprint) {
    form_.LabelFP->setText(fingerprint);
}

}  // namespace lumvaris::app
