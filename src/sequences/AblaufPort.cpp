// The sequence window's own access to the serial port: DC2 selections from
// its module table, send-and-wait that completes only on "]", and its own
// count of time-outs and rejected replies. Nothing here goes to the
// communication log.
#include "AblaufCore.h"

#include "Clock.h"
#include "LineReply.h"
#include "Protocol.h"
#include "SerialPort.h"
#include "UiServices.h"

#include <cmath>

AblaufCore::AblaufCore(AblaufEnv env) : m_env(std::move(env))
{
    for (int t = 0; t < TableSize; ++t)
        for (int b = 0; b < TableSize; ++b)
            Adresstabelle[t][b].clear();
    for (int t : {0, 1, 2, 7})
        for (int b = 0; b < 16; ++b)
            Adresstabelle[t][b] =
                protocol::selection(QString::number(t, 16).toUpper() + QString::number(b, 16).toUpper());
    for (int d = 0; d < GaugeCount; ++d) {
        Con[d].visible = false;
        Display[d].visible = false;
        Display[d].text = QStringLiteral("0");
    }
    LED.colour = Green;
    OPosArt0.checked = true;
    for (auto& z : pZeile)
        z.colour = White;
}

bool AblaufCore::hasAddress(int unitType, int box) const
{
    return unitType >= 0 && unitType < TableSize && box >= 0 && box < TableSize &&
           !Adresstabelle[unitType][box].isEmpty();
}

bool AblaufCore::portOpen()
{
    const bool open = m_env.port->isOpen();
    if (!open && m_portInUse)
        m_portReported = true;
    m_portInUse = open;
    return open;
}

void AblaufCore::reportPortError()
{
    // One message per run (or per panel command outside a run), not one per
    // poll, and none beside the report of a loss.
    if (m_portReported)
        return;
    m_portReported = true;
    m_env.ui->message(PortMessage);
}

void AblaufCore::Adresse_waehlen()
{
    if (!hasAddress(AktTyp, AktBox) || !portOpen())
        return;
    if (line::writeOnPort(*m_env.port, *m_env.clock, Adresstabelle[AktTyp][AktBox].toLatin1()))
        m_selected = Adresstabelle[AktTyp][AktBox].mid(1);
}

void AblaufCore::writeBytes()
{
    if (portOpen())
        line::writeOnPort(*m_env.port, *m_env.clock, Sendetext.toLatin1());
}

void AblaufCore::listEntry(const QString& text)
{
    lb_ablauf.items.prepend(text);
    while (lb_ablauf.items.size() > ListLength)
        lb_ablauf.items.removeAt(ListLength);
}

bool AblaufCore::Ablaufsenden(bool typed)
{
    ISerialPort& port = *m_env.port;
    IClock& clock = *m_env.clock;
    Empfangstext.clear();
    bool hasTimedOut = false;
    if (!portOpen()) {
        // A closed or vanished port is a time-out at once.
        reportPortError();
        hasTimedOut = true;
    } else {
        // The reply is read by the bus line's rule: the time limit counts
        // until its first character, and a started reply is read on while
        // characters keep coming. Bytes waiting before the send are the tail
        // of an earlier reply: they are dropped and shown.
        const QByteArray bytes = Sendetext.toLatin1();
        const line::PortExchange x = typed ? line::exchangeTyped(port, clock, bytes, Zeitlimit, m_late)
                                           : line::exchangeOnPort(port, clock, bytes, Zeitlimit);
        if (!x.discarded.isEmpty())
            lFehler.text =
                QString::number(x.discarded.size()) + QString::fromLatin1(x.discarded.left(protocol::MaxReply));
        Empfangstext = QString::fromLatin1(x.reply.bytes);
        if (x.written)
            m_env.answered(m_selected, Sendetext, Empfangstext);
        // A reply without end is cut, what follows dropped: no answer. A
        // port that vanished meanwhile is reported.
        if (!portOpen())
            reportPortError();
        hasTimedOut = !x.reply.complete();
    }
    if (hasTimedOut) {
        m_env.ui->beep();
        ++Fehlerzahl;
        lFehler.text = QString::number(Fehlerzahl);
        LED.colour = Red;
        listEntry(m_lineText + Empfangstext);
        CStop_Click();
    }
    if (protocol::replyStatus(Empfangstext) == protocol::ReplyStatus::Refused) {
        ++Fehlerzahl;
        lFehler.text = QString::number(Fehlerzahl);
        LED.colour = Yellow;
        listEntry(m_lineText + Empfangstext);
    }
    return !hasTimedOut;
}

void AblaufCore::FStop()
{
    AktTyp = 0;
    AktBox = 0;
    Adresse_waehlen();
    Sendetext = protocol::Stop;
    writeBytes();
    CStart.enabled = true;
}
