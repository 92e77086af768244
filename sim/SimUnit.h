#pragma once
// One unit on the simulated bus: its address, type and baud, the state its
// commands read (status word, version text, position ...), its fault
// switches, and the log of the commands it received. What a command does is
// decided, in this order, by the unit's own handler table, its device model,
// and finally the "unknown command" rejection.

#include "Protocol.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class SimBus;
class SimUnit;

// Unit type from the high digit of the address.
enum class UnitType
{
    Mot,
    IK,
    AK,
    AKIK,
    ADA,
    AK16,
    EA,
    UM,
    Unknown
};

UnitType unitTypeFromAddress(const QString& address);
QString unitTypeName(UnitType type);
// True for two upper-case hexadecimal digits.
bool isUnitAddress(const QString& address);

// Code of the rejection a unit gives to a command it does not know.
constexpr quint16 kUnknownCommandCode = 0x0005;

// A complete command frame as a unit received it.
struct SimCommand
{
    QByteArray frame;        // "[1PA]", "(0ST)"
    double arrival = 0.0;    // clock time at which its last byte arrived
    bool broadcast = false;  // sent to "00": the unit acts but its reply is dropped

    // The text between the brackets: "1PA".
    QByteArray body() const { return frame.mid(1, frame.size() - 2); }
    char unitDigit() const { return frame.size() > 2 ? frame.at(1) : '\0'; }

    // The reply frame: the opening bracket, the first `head` characters of the
    // body, the status character, the values, and the closing bracket of the
    // command ("[1PA" + "!" + values + "]").
    QByteArray reply(char status, const QByteArray& values = {}, int head = 3) const;
    QByteArray accepted(const QByteArray& values = {}, int head = 3) const
    {
        return reply(char(protocol::ReplyStatus::Done), values, head);
    }
    QByteArray started(int head = 3) const { return reply(char(protocol::ReplyStatus::Started), {}, head); }
    QByteArray rejected(quint16 code, int head = 3) const;
};

// What a unit does with the commands it understands. One model per unit; the
// bus gives each unit the model of its type, and tests or later device kinds
// install their own. A model returns the reply (empty for a command obeyed in
// silence) or nothing when it does not know the command.
class SimDeviceModel
{
public:
    virtual ~SimDeviceModel() = default;
    virtual std::optional<QByteArray> handle(SimUnit& unit, const SimCommand& command) = 0;
};

// The commands every board answers from the unit's settable state: "[0ST]",
// "[0VN]", "[1PA]", "[0IN]", "[0M1]" and "[1ra]".
class SimBoardModel : public SimDeviceModel
{
public:
    std::optional<QByteArray> handle(SimUnit& unit, const SimCommand& command) override;
};

// An AK probe board: besides the board commands it records the highest and
// lowest value of each channel from "[0ME]" on; "[0MH]" and "[0ML]" answer
// them as four 6-digit groups with one separator each, "[0MA]" ends the
// recording.
class SimProbeModel : public SimBoardModel
{
public:
    std::optional<QByteArray> handle(SimUnit& unit, const SimCommand& command) override;

private:
    void track(const SimUnit& unit);
    bool m_recording = false;
    QList<qint32> m_max, m_min;
};

// The model a unit of `type` gets (SimDeviceModels.cpp).
std::unique_ptr<SimDeviceModel> makeDeviceModel(UnitType type);

class SimUnit
{
public:
    // Returns the reply, an empty array for no reply, or nothing to let the
    // device model decide.
    using Handler = std::function<std::optional<QByteArray>(SimUnit&, const SimCommand&)>;

    SimUnit(const QString& address, int baud);

    QString address() const { return m_address; }
    // The unit takes another address (its own address change); its type stays.
    void moveTo(const QString& address) { m_address = address; }
    UnitType type() const { return m_type; }
    int baud() const { return m_baud; }
    void setBaud(int baud) { m_baud = baud; }

    // --- State read by the commands -----------------------------------------
    quint32 statusWord() const { return m_statusWord; }
    void setStatusWord(quint32 word) { m_statusWord = word; }
    // The text after "!" in the "[0VN]" reply.
    QString version() const { return m_version; }
    void setVersion(const QString& text) { m_version = text; }
    // Position of axis 1, a signed 24-bit count.
    qint32 position() const { return m_position; }
    void setPosition(qint32 counts) { m_position = counts; }
    quint32 inputWord() const { return m_inputWord; }
    void setInputWord(quint32 word) { m_inputWord = word; }
    // Channel values of "[0M1]", one per channel, signed 24-bit counts.
    QList<qint32> channels() const { return m_channels; }
    void setChannels(const QList<qint32>& values) { m_channels = values; }
    // The 156 hexadecimal digits of the register read-out "[1ra]".
    QByteArray registers() const { return m_registers; }
    void setRegisters(const QByteArray& hexDigits) { m_registers = hexDigits; }

    // --- Behaviour -----------------------------------------------------------
    // Installs a handler for the commands whose body begins with `prefix`
    // ("1PA" for "[1PA]", "1FA" for "[1FA00000010]"); the longest matching
    // prefix wins. An empty handler removes the entry.
    void setHandler(const QString& prefix, Handler handler);
    void setModel(std::unique_ptr<SimDeviceModel> model) { m_model = std::move(model); }
    SimDeviceModel* model() const { return m_model.get(); }

    // --- Faults --------------------------------------------------------------
    void setReplyDelay(double seconds) { m_replyDelay = seconds; }
    double replyDelay() const { return m_replyDelay; }
    // Extra delay of the reply to the command being handled (an EEPROM
    // store takes its time); every command starts with none.
    void setExtraReplyDelay(double seconds) { m_extraDelay = seconds; }
    double extraReplyDelay() const { return m_extraDelay; }
    // Every reply arrives in `pieces` parts with `gap` seconds between them.
    void setReplyPieces(int pieces, double gap);
    int replyPieces() const { return m_pieces; }
    double pieceGap() const { return m_pieceGap; }
    // A silent unit receives commands but neither acts nor answers.
    void setSilent(bool silent) { m_silent = silent; }
    bool isSilent() const { return m_silent; }
    // The next `times` commands whose frame begins with `command` ("[0ST]",
    // "[1FA") are rejected with `code` instead of being carried out.
    void rejectNext(const QString& command, quint16 code, int times = 1);
    // While not empty, these bytes go out instead of every reply.
    void setGarbageReply(const QByteArray& bytes) { m_garbage = bytes; }
    // While `stray` is not empty, every reply to a command whose frame begins
    // with `command` ("[0po") comes right behind it, as a message from
    // elsewhere on the line that lands just in front of the reply.
    void setStrayBefore(const QByteArray& command, const QByteArray& stray)
    {
        m_strayCommand = command;
        m_stray = stray;
    }
    // While > 0, every reply is padded with "0" before its closing bracket to
    // this many characters.
    void setReplyLength(int characters) { m_replyLength = characters; }

    // --- Log -----------------------------------------------------------------
    // Every command frame the unit received (also when silent or broadcast).
    QStringList received() const { return m_received; }
    void clearReceived() { m_received.clear(); }

    // Runs a command through faults, handlers and model. Returns the bytes to
    // send back (empty: no reply).
    QByteArray respond(const SimCommand& command);

private:
    friend class SimBus;

    QString m_address;
    UnitType m_type;
    int m_baud;
    bool m_selected = false;

    quint32 m_statusWord = 0;
    QString m_version;
    qint32 m_position = 0;
    quint32 m_inputWord = 0;
    QList<qint32> m_channels{0};
    QByteArray m_registers;

    QMap<QString, Handler> m_handlers;
    std::unique_ptr<SimDeviceModel> m_model;

    struct Rejection
    {
        QByteArray command;
        quint16 code;
        int remaining;
    };
    QList<Rejection> m_rejections;
    double m_replyDelay = 0.0;
    double m_extraDelay = 0.0;
    int m_pieces = 1;
    double m_pieceGap = 0.0;
    bool m_silent = false;
    QByteArray m_garbage;
    QByteArray m_strayCommand, m_stray;
    int m_replyLength = 0;

    QStringList m_received;
};
