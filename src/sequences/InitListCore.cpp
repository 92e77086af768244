#include "InitListCore.h"

#include "CommandList.h"
#include "Protocol.h"
#include "UiServices.h"
#include "ValueFile.h"

#include <QFileInfo>

InitListCore::InitListCore(InitListEnv env, bool withController)
    : m_env(std::move(env)), m_withController(withController)
{
    text_Befehl.resize(std::size_t(m_env.list->size()));
    cb_start.text = QStringLiteral("[1EE]");
    tb_regler.text = QStringLiteral("1EW");
    lb_wert.text = QStringLiteral("0000");
    Label1.text = QStringLiteral("07F0");
    Label2.text = QStringLiteral("0800");
    widthPx = withController ? 2730 : 0;
}

void InitListCore::Befehlslisteladen()
{
    for (int k = 0; k < size(); ++k)
        text_Befehl[std::size_t(k)].text = m_env.list->arraybefehle_get(k);
}

void InitListCore::Befehlslisteschreiben()
{
    for (int k = 0; k < size(); ++k)
        m_env.list->arraybefehle_let(k, text_Befehl[std::size_t(k)].text);
}

void InitListCore::text_Befehl_Change(int k)
{
    if (k < 0 || k >= size())
        return;
    // The list is saved in Windows-1252: other characters are refused.
    keepWindows1252(text_Befehl[std::size_t(k)].text);
    m_env.list->befehleaktualisieren(k, text_Befehl[std::size_t(k)].text);
}

void InitListCore::cmd_senden_Click(int k)
{
    if (k >= 0 && k < size())
        m_env.post(text_Befehl[std::size_t(k)].text);
}

void InitListCore::cb_start_Click()
{
    if (cb_start.checked) {
        m_env.post(QStringLiteral("[1EE]"));
        cb_start.text = QStringLiteral("Stop");
    } else {
        m_env.post(protocol::Stop);
        cb_start.text = QStringLiteral("[1EE]");
    }
}

void InitListCore::sli_wert_Change()
{
    if (FlagBereich == 1 || !sli_wert.contains(sli_wert.value))
        return;
    const QString h = QStringLiteral("%1").arg(quint16(qint16(sli_wert.value)), 4, 16, QLatin1Char('0')).toUpper();
    QString argument;
    if (m_env.sixteenBit()) {
        argument = h;
        lb_wert.text = h.left(3) + QLatin1Char('0');
    } else {
        argument = QLatin1Char('0') + h.mid(2, 2) + QLatin1Char('0');
        lb_wert.text = argument;
    }
    m_env.post(QLatin1Char('[') + tb_regler.text + argument + QLatin1Char(']'));
}

void InitListCore::lb_wert_LostFocus()
{
    const QString text = lb_wert.text.trimmed();
    bool ok = false;
    int v = 0;
    if (m_env.sixteenBit()) {
        const uint raw = text.toUInt(&ok, 16);
        ok = ok && raw <= 0xFFFF;
        v = raw > 32767 ? int(raw) - 65536 : int(raw);
    } else if (text.size() == 4 && text.startsWith(QLatin1Char('0')) && text.endsWith(QLatin1Char('0'))) {
        // The shown form "0XY0" stands for the signed byte XY.
        const uint raw = text.mid(1, 2).toUInt(&ok, 16);
        v = raw > 127 ? int(raw) - 256 : int(raw);
    } else {
        const uint raw = text.toUInt(&ok, 16);
        ok = ok && raw <= 0xFFFF;
        v = raw > 32767 ? int(raw) - 65536 : int(raw);
    }
    if (!ok || !sli_wert.contains(v))
        return;  // refused: the slider and the unit keep their value
    // Like a scroll bar, the slider reports only a change of its value.
    if (v == sli_wert.value)
        return;
    sli_wert.value = v;
    sli_wert_Change();
}

bool InitListCore::setSli_wert(int value)
{
    if (!sli_wert.contains(value))
        return false;
    sli_wert.value = value;
    return true;
}

void InitListCore::setValueRange()
{
    FlagBereich = 1;
    if (m_env.sixteenBit()) {
        sli_wert.min = -32768;
        sli_wert.max = 32767;
        Label1.text = QStringLiteral("7FF0");
        Label2.text = QStringLiteral("8000");
        sli_wert.largeChange = 100;
        sli_wert.smallChange = 16;
    } else {
        sli_wert.min = -128;
        sli_wert.max = 127;
        Label1.text = QStringLiteral("07F0");
        Label2.text = QStringLiteral("0800");
        sli_wert.largeChange = 10;
        sli_wert.smallChange = 1;
    }
    // A value the new range does not hold is shown as 0; nothing is posted.
    if (!sli_wert.contains(sli_wert.value))
        sli_wert.value = 0;
    FlagBereich = 0;
}

void InitListCore::bindControls(int n)
{
    if (an_aus == 1)
        m_env.initColor(index, LightGray);
    an_aus = 0;
    index = n;
}

void InitListCore::Form_Activate()
{
    if (an_aus == 0) {
        an_aus = 1;
        m_env.initColor(index, Green);
    }
    Befehlslisteladen();
    m_env.activateRow(index);
    takeWidth();
    if (m_withController)
        setValueRange();
}

void InitListCore::takeWidth()
{
    if (m_withController)
        widthPx = m_env.controllerVisible() ? 5190 : 2730;
}

void InitListCore::Form_Unload()
{
    Befehlslisteschreiben();
    m_env.initColor(index, LightGray);
}

QByteArray InitListCore::fileText() const
{
    ValueFileWriter w;
    for (int k = 0; k < size(); ++k)
        w.writeString(m_env.list->arraybefehle_get(k));
    return w.data();
}

bool InitListCore::befehlssatzladen()
{
    FileDialogRequest r;
    r.filter = Filter;
    r.folder = m_env.programFolder();
    r.fileName = QStringLiteral("*.tst");
    r.defaultExt = QStringLiteral("tst");
    const QString pathName = m_env.ui->openFile(r);
    if (pathName.isEmpty())
        return false;  // a cancelled dialog keeps the list
    const QString name = QFileInfo(pathName).fileName();
    const QString messageText = QStringLiteral("Die Datei ") + name + QStringLiteral(" konnte nicht geladen werden!!");
    // A file that is not text, or a single line where a list of lines is
    // due, is no command list: it changes nothing.
    auto reader = ValueFileReader::fromFile(pathName);
    if (!reader || (size() > 1 && !reader->hasLineBreaks())) {
        m_env.ui->message(messageText);
        return false;
    }
    QStringList lineValues;
    while (lineValues.size() < size()) {
        const auto s = reader->readString();
        if (!s)
            break;
        lineValues << *s;
    }
    caption = name;
    for (int k = 0; k < size(); ++k)
        m_env.list->arraybefehle_let(k, lineValues.value(k));
    if (lineValues.size() < size()) {
        m_env.ui->message(messageText);
        return false;
    }
    m_env.comMotflag();
    return true;
}

bool InitListCore::befehlssatzspeichern()
{
    FileDialogRequest r;
    r.filter = Filter;
    r.folder = m_env.programFolder();
    r.fileName = caption;
    r.defaultExt = QStringLiteral("tst");
    const QString pathName = m_env.ui->saveFile(r);
    if (pathName.isEmpty())
        return false;
    if (!writeValueFile(pathName, fileText())) {
        m_env.ui->message(QStringLiteral("Die Datei ") + QFileInfo(pathName).fileName() +
                          QStringLiteral(" konnte nicht geladen werden!!"));
        return false;
    }
    m_env.comMotflag();
    return true;
}
