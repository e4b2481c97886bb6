#include "system/TimeProtocol.h"

#include <QTcpSocket>
#include <QtEndian>

#include "system/ConditionWait.h"

namespace ks {

namespace {

constexpr std::int64_t kSecondsFrom1900To1970 = 2'208'988'800;
constexpr std::int64_t kEra = std::int64_t{1} << 32;
constexpr qint64 kReplySize = 4;

enum class Connection { Accepted, Refused, Stopped };

}  // namespace

TimeServers publicTimeServers() {
    return TimeServers{
        {"time-a-g.nist.gov", "time-b-g.nist.gov", "time-c-g.nist.gov", "time-d-g.nist.gov",
         "time-a-wwv.nist.gov", "time-b-wwv.nist.gov", "time-c-wwv.nist.gov", "time-d-wwv.nist.gov",
         "time-a-b.nist.gov", "time-b-b.nist.gov", "time-c-b.nist.gov", "time-d-b.nist.gov",
         "time.nist.gov", "utcnist.colorado.edu"},
        37};
}

std::int64_t unixSecondsOfTimeReply(std::uint32_t secondsSince1900) {
    const std::int64_t seconds = secondsSince1900;
    return seconds >= kSecondsFrom1900To1970 ? seconds - kSecondsFrom1900To1970
                                             : seconds + kEra - kSecondsFrom1900To1970;
}

std::optional<std::int64_t> TimeProtocolClient::ask() {
    QTcpSocket socket;
    // A server that answers at once may have closed the connection again by
    // the next look, so acceptance is noted as it happens.
    bool accepted = false;
    QObject::connect(&socket, &QTcpSocket::connected, [&accepted] { accepted = true; });
    const auto connectTo = [&](const std::string& host) {
        socket.connectToHost(QString::fromStdString(host), servers_.port);
        const WaitOutcome outcome = waitUntil(run_, clock_, kConnectLimit, [&] {
            return accepted || socket.state() == QAbstractSocket::UnconnectedState;
        });
        if (outcome == WaitOutcome::Stopped) return Connection::Stopped;
        if (accepted) return Connection::Accepted;
        socket.abort();
        return Connection::Refused;
    };

    Connection connection = Connection::Refused;
    for (const std::string& host : servers_.hosts) {
        connection = connectTo(host);
        if (connection != Connection::Refused) break;
    }
    if (connection != Connection::Accepted) return std::nullopt;

    // A server that closes the connection before four bytes have come has
    // nothing more to send.
    const WaitOutcome outcome = waitUntil(run_, clock_, kReplyLimit, [&socket] {
        return socket.bytesAvailable() >= kReplySize ||
               socket.state() != QAbstractSocket::ConnectedState;
    });
    if (outcome == WaitOutcome::Stopped || socket.bytesAvailable() < kReplySize) {
        return std::nullopt;
    }
    uchar reply[kReplySize];
    socket.read(reinterpret_cast<char*>(reply), kReplySize);
    return unixSecondsOfTimeReply(qFromBigEndian<quint32>(reply));
}

}  // namespace ks
