#include "gui/app/WindowRaiser.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <sys/un.h>
#include <unistd.h>

namespace {

const QByteArray kRequest = "show\n";
const QByteArray kAnswer = "shown\n";
constexpr int kRetryMs = 100;

} // namespace

WindowRaiser::WindowRaiser(QObject* parent)
    : QObject(parent)
{
}

QString WindowRaiser::SocketName(const std::string& dataDir, bool* abstract)
{
    const std::string path = dataDir + "VordaWindow";
    const bool fits = path.size() < sizeof(sockaddr_un::sun_path);
    if (abstract)
        *abstract = !fits;
    if (fits)
        return QString::fromStdString(path);
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(dataDir), QCryptographicHash::Sha256);
    return QStringLiteral("vorda-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash.toHex().left(32)));
}

bool WindowRaiser::Listen(const std::string& dataDir)
{
    bool abstract = false;
    const QString name = SocketName(dataDir, &abstract);
    delete server_;
    server_ = new QLocalServer(this);
    if (abstract)
        server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    else
        QLocalServer::removeServer(name);
    if (!server_->listen(name))
        return false;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == kRequest) {
                    emit showRequested();
                    socket->write(kAnswer);
                    socket->flush();
                }
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

bool WindowRaiser::AskRunningCopyToShow(const std::string& dataDir, int timeoutMs)
{
    bool abstract = false;
    const QString name = SocketName(dataDir, &abstract);
    QElapsedTimer clock;
    clock.start();
    // An event loop of its own, so that the answer can come from this very
    // thread as well as from another process.
    while (clock.elapsed() < timeoutMs) {
        QLocalSocket socket;
        if (abstract)
            socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        QEventLoop loop;
        bool shown = false;
        QByteArray answer;
        QObject::connect(&socket, &QLocalSocket::connected, &loop, [&socket] {
            socket.write(kRequest);
            socket.flush();
        });
        QObject::connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
            answer += socket.readAll();
            if (answer.contains('\n')) {
                shown = answer == kAnswer;
                loop.quit();
            }
        });
        QObject::connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
        QObject::connect(&socket, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(std::max<qint64>(1, timeoutMs - clock.elapsed()), &loop, &QEventLoop::quit);
        socket.connectToServer(name);
        if (socket.state() != QLocalSocket::UnconnectedState)
            loop.exec();
        if (shown)
            return true;
        // Nobody listens yet: the running copy may be starting.
        if (socket.state() == QLocalSocket::ConnectedState || clock.elapsed() + kRetryMs >= timeoutMs)
            break;
        QEventLoop pause;
        QTimer::singleShot(kRetryMs, &pause, &QEventLoop::quit);
        pause.exec();
    }
    return false;
}
