// The sequence file (87 quoted lines), the start file "autost.aqv", and the
// editor beside the lines with its transfer in both directions.
#include "AblaufCore.h"

#include "UiServices.h"
#include "ValueFile.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString withoutQuotes(QString text)
{
    return text.remove(QLatin1Char('"'));
}

QString namePart(const QString& pathName)
{
    return QFileInfo(pathName).fileName();
}

QString errorText(int lineNumber, const QString& text, const QString& dataFile)
{
    return QStringLiteral("error: %1, %2\n%3 file not found or failure").arg(lineNumber).arg(text, dataFile);
}
}  // namespace

void AblaufCore::Form_Load()
{
    Zeitlimit = 1;
    LED.colour = Green;
    Autoladen = 1;
    AblL();
    Autoladen = 0;
}

void AblaufCore::AblL()
{
    QString pathName;
    if (Autoladen == 1) {
        pathName = QDir(m_env.programFolder()).filePath(QStringLiteral("autost.aqv"));
    } else {
        FileDialogRequest r;
        r.filter = FileFilter;
        r.folder = m_env.programFolder();
        r.fileName = QStringLiteral("aqv_.aqv");
        r.defaultExt = QStringLiteral("aqv");
        pathName = m_env.ui->openFile(r);
        if (pathName.isEmpty())
            return;
    }
    // The whole file is read before anything changes: a file that cannot be
    // read whole (missing, short, not text) leaves the lines, the editor and
    // the file name as they were, so Start never runs a mix of two files.
    auto reader = ValueFileReader::fromFile(pathName);
    if (!reader) {
        if (QFileInfo::exists(pathName))
            m_env.ui->message(errorText(62, QStringLiteral("Input past end of file"), pathName));
        else
            m_env.ui->message(errorText(53, QStringLiteral("File not found"), pathName));
        return;
    }
    QStringList textLines;
    while (reader->hasLineBreaks() && textLines.size() < MaxRows) {
        const auto text = reader->readString();
        if (!text)
            break;
        textLines << withoutQuotes(*text);
    }
    if (textLines.size() < MaxRows) {
        m_env.ui->message(errorText(62, QStringLiteral("Input past end of file"), pathName));
        return;
    }
    Dateiname = pathName;
    Label3.text = namePart(Dateiname);
    for (int i = 0; i < MaxRows; ++i)
        pZeile[i].text = textLines.at(i);
    LEdit();
}

QByteArray AblaufCore::fileText() const
{
    ValueFileWriter w;
    for (const auto& z : pZeile)
        w.writeString(withoutQuotes(z.text));
    return w.data();
}

void AblaufCore::AblSP_Click()
{
    // Saved in the folder "Laden" opens, so a file saved by name loads by it.
    FileDialogRequest r;
    r.filter = FileFilter;
    r.folder = m_env.programFolder();
    r.fileName = Label3.text;
    r.defaultExt = QStringLiteral("aqv");
    const QString pathName = m_env.ui->saveFile(r);
    if (pathName.isEmpty())
        return;
    Dateiname = pathName;
    Label3.text = namePart(Dateiname);
    QString errorMessage;
    if (!writeValueFile(Dateiname, fileText(), &errorMessage))
        m_env.ui->message(errorText(75, QStringLiteral("Path/File access error"), Dateiname));
}

void AblaufCore::AblaufCompiler()
{
    QString lineBuffer[101];
    for (auto& z : pZeile)
        z.text.clear();
    int k = 0;
    for (const QChar c : TEdit.text) {
        if (c == QLatin1Char('\r'))
            continue;
        if (c == QLatin1Char('\n')) {
            ++k;
            continue;
        }
        // Text beyond the buffer's 101 lines is not taken; a double quote
        // or a character outside Windows-1252 cannot be stored in the file
        // and is dropped.
        if (k > 100 || c == QLatin1Char('"') || !fitsWindows1252(c))
            continue;
        lineBuffer[k] += c;
        if (k < MaxRows)
            pZeile[k].text = lineBuffer[k];
    }
    listEntry(QString::number(k) + QStringLiteral("\r\n"));
}

void AblaufCore::LEdit()
{
    // One line break after every line, empty lines included. The editor box
    // keeps line feeds only, so the text is built with them: a CR here would
    // make the box differ from the state and be set again on every render.
    QString text;
    for (const auto& z : pZeile)
        text += z.text + QLatin1Char('\n');
    TEdit.text = text;
}

void AblaufCore::CTST1_Click()
{
    ffAblauf.visible = true;
    AblaufCompiler();
}

void AblaufCore::pZeile_Change(int index)
{
    if (index < 0 || index >= MaxRows)
        return;
    // The file holds neither a double quote nor a character outside
    // Windows-1252 (it would be saved as "?"): neither enters a line.
    if (pZeile[index].text.contains(QLatin1Char('"')))
        pZeile[index].text.remove(QLatin1Char('"'));
    keepWindows1252(pZeile[index].text);
}
