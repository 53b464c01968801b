#include "QtSerialPort.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QThread>
#include <iterator>

#include "link/PortDiscovery.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace lumvaris::link {
namespace {

constexpr qint64 kQueueSize = 8192;
constexpr int kWriteTimeoutMs = 2000;

std::string Text(const QString& s) {
    return s.toStdString();
}

OpenFailure ExamineOpenFailure(const std::string& name, const QSerialPort& port) {
    OpenFailure failure;
    failure.name = name;
    failure.error = port.error();
    failure.errorText = Text(port.errorString());
#ifdef Q_OS_UNIX
    // A bare name is a device under /dev, as the port library takes it.
    QString location = QString::fromStdString(name);
    if (!location.startsWith(QLatin1Char('/'))) {
        location.prepend(QStringLiteral("/dev/"));
    }
    const QFileInfo device(location);
    failure.deviceExists = device.exists();
    failure.isDirectory = device.isDir();
    failure.accessAllowed =
        failure.deviceExists && ::access(QFile::encodeName(location).constData(), R_OK | W_OK) == 0;
#endif
    return failure;
}

}  // namespace

namespace {

std::string SerialText(const char* source, const std::string& arg1 = {}, const std::string& arg2 = {}) {
    QString text = QCoreApplication::translate("link::QtSerialPort", source);
    if (text.contains(QLatin1String("%2"))) {
        text = text.arg(QString::fromStdString(arg1), QString::fromStdString(arg2));
    } else if (text.contains(QLatin1String("%1"))) {
        text = text.arg(QString::fromStdString(arg1));
    }
    return text.toStdString();
}

}  // namespace

std::string DescribeOpenFailure(const OpenFailure& failure) {
    const std::string& name = failure.name;
    if (name.empty()) {
        return SerialText(QT_TRANSLATE_NOOP("link::QtSerialPort", "Не задано имя порта."));
    }
    if (!failure.deviceExists || failure.error == QSerialPort::DeviceNotFoundError) {
        return SerialText(QT_TRANSLATE_NOOP("link::QtSerialPort", "Устройство «%1» не найдено."), name);
    }
    if (!failure.accessAllowed) {
        return SerialText(
            QT_TRANSLATE_NOOP(
                "link::QtSerialPort",
                "Нет доступа к порту «%1» (отказано в доступе). Пользователь должен входить в группу "
                "dialout: "
                "sudo usermod -aG dialout <имя пользователя>, затем выйти из системы и войти снова."),
            name);
    }
    if (failure.isDirectory) {
        return SerialText(
            QT_TRANSLATE_NOOP("link::QtSerialPort", "«%1» - это каталог, а не последовательный порт."), name);
    }
    if (failure.error == QSerialPort::PermissionError) {
        return SerialText(QT_TRANSLATE_NOOP("link::QtSerialPort", "Порт «%1» занят другой программой."),
                          name);
    }
    // ENOTTY: a file or a device without terminal settings (/dev/null, a regular file).
    if (failure.error == QSerialPort::UnsupportedOperationError) {
        return SerialText(QT_TRANSLATE_NOOP("link::QtSerialPort", "«%1» - не последовательный порт."), name);
    }
    return SerialText(QT_TRANSLATE_NOOP("link::QtSerialPort", "Порт «%1» не открывается: %2"), name,
                      failure.errorText);
}

std::string DescribePortFault(QSerialPort::SerialPortError error, const std::string& errorText) {
    switch (error) {
        case QSerialPort::ResourceError:
        case QSerialPort::DeviceNotFoundError:
            return SerialText(QT_TRANSLATE_NOOP(
                "link::QtSerialPort",
                "устройство отключено: адаптер вынут или программа на другом конце закрыла порт"));
        case QSerialPort::ReadError:
            return SerialText(QT_TRANSLATE_NOOP(
                "link::QtSerialPort",
                "порт перестал отвечать при чтении: устройство отключено или программа на другом "
                "конце закрыла порт"));
        case QSerialPort::WriteError:
            return SerialText(
                QT_TRANSLATE_NOOP("link::QtSerialPort",
                                  "данные не удалось передать в порт: устройство отключено или не отвечает"));
        case QSerialPort::TimeoutError:
            return SerialText(QT_TRANSLATE_NOOP("link::QtSerialPort",
                                                "порт не принял данные вовремя: устройство не отвечает"));
        default:
            break;
    }
    return SerialText(QT_TRANSLATE_NOOP("link::QtSerialPort", "ошибка порта: %1"), errorText);
}

QtSerialPort::QtSerialPort(QObject* parent) : QObject(parent) {
    connect(&port_, &QSerialPort::readyRead, this, [this] {
        if (onReceive_) {
            onReceive_();
        }
    });
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::OnError);
}

QtSerialPort::~QtSerialPort() {
    Close();
}

std::vector<std::string> QtSerialPort::ListPorts() {
    std::vector<std::string> names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        names.push_back(Text(info.portName()));
    }
    return names;
}

std::vector<PortInfo> QtSerialPort::ListPortInfos() {
    std::vector<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortInfo port;
        port.name = Text(info.portName());
        port.description = Text(info.description());
        port.manufacturer = Text(info.manufacturer());
        port.serialNumber = Text(info.serialNumber());
        if (info.hasVendorIdentifier()) {
            port.vendorId = info.vendorIdentifier();
        }
        if (info.hasProductIdentifier()) {
            port.productId = info.productIdentifier();
        }
        port.systemLocation = Text(info.systemLocation());
        ports.push_back(std::move(port));
    }
    std::vector<PortInfo> stable = StableNames(kStableNameDirectory, ports);
    std::vector<PortInfo> simulators = SimulatorLinks(kSimulatorLinkDirectory);
    ports.insert(ports.end(), std::make_move_iterator(stable.begin()), std::make_move_iterator(stable.end()));
    ports.insert(ports.end(), std::make_move_iterator(simulators.begin()),
                 std::make_move_iterator(simulators.end()));
    return ports;
}

void QtSerialPort::SetName(const std::string& name) {
    name_ = name;
    port_.setPortName(QString::fromStdString(name));
}

void QtSerialPort::Open() {
    if (port_.isOpen()) {
        port_.close();
    }
    port_.setBaudRate(settings_.baudRate);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(kQueueSize);
    if (name_.empty() || !port_.open(QIODevice::ReadWrite)) {
        const std::string why = DescribeOpenFailure(ExamineOpenFailure(name_, port_));
        port_.clearError();
        throw SerialPortError(why);
    }
    lost_ = false;
}

void QtSerialPort::RaiseLine(bool rts) {
    const bool ok = rts ? port_.setRequestToSend(true) : port_.setDataTerminalReady(true);
    if (ok) {
        return;
    }
    const QSerialPort::SerialPortError error = port_.error();
    const std::string why = Text(port_.errorString());
    port_.clearError();
    // Pseudo-terminals and some adapters have no modem-control lines.
    if (error == QSerialPort::UnsupportedOperationError || error == QSerialPort::UnknownError) {
        throw SerialPortNotSupported(why);
    }
    throw SerialPortError(why);
}

void QtSerialPort::RaiseRts() {
    RaiseLine(true);
}
void QtSerialPort::RaiseDtr() {
    RaiseLine(false);
}

std::size_t QtSerialPort::Write(const std::uint8_t* bytes, std::size_t count) {
    if (!port_.isOpen()) {
        throw SerialPortError(
            SerialText(QT_TRANSLATE_NOOP("link::QtSerialPort", "Коммуникационный порт не открыт")));
    }
    const qint64 written = port_.write(reinterpret_cast<const char*>(bytes), static_cast<qint64>(count));
    if (written < 0) {
        const std::string why = DescribePortFault(port_.error(), Text(port_.errorString()));
        port_.clearError();
        throw SerialPortError(why);
    }
    // Hand the bytes to the device now: the caller may block the thread right after.
    port_.flush();
    if (port_.bytesToWrite() > 0) {
        port_.waitForBytesWritten(kWriteTimeoutMs);
    }
    return static_cast<std::size_t>(written);
}

std::size_t QtSerialPort::ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) {
    if (!port_.isOpen() || maxCount == 0) {
        return 0;
    }
    const qint64 got = port_.read(reinterpret_cast<char*>(buffer), static_cast<qint64>(maxCount));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void QtSerialPort::Close() {
    if (port_.isOpen()) {
        port_.close();
    }
    port_.clearError();
}

void QtSerialPort::OnError(QSerialPort::SerialPortError error) {
    // A vanished device (adapter pulled, peer hung up) leaves the port unusable: close it so the
    // window sees a closed port, and say so once. A pseudo-terminal whose peer hung up reports a
    // read error on every poll rather than a resource error, so both count as a loss.
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!lost || lost_) {
        return;
    }
    lost_ = true;
    const std::string why = DescribePortFault(error, Text(port_.errorString()));
    if (port_.isOpen()) {
        port_.close();
    }
    if (onError_) {
        onError_(why);
    }
}

void ThreadPause::Pause(int milliseconds) {
    if (milliseconds > 0) {
        QThread::msleep(static_cast<unsigned long>(milliseconds));
    }
}

}  // namespace lumvaris::link
