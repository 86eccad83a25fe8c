#include "app/usage_texts.h"

#include <cstring>

namespace tpl {

namespace {

struct UsageBody {
    const char* code;
    const char* text;
};

constexpr char kEnglish[] =
    "Usage: tplsetup [usecwd] [-S] [-L<code>] [--target=DIR] [--log=FILE]\n"
    "       tplsetup --help | -h | -? | /?\n"
    "       tplsetup --version\n"
    "\n"
    "Installs the distribution kit qbx4.tkx into the template directory.\n"
    "Switches begin with \"-\" or \"/\"; their letter may be upper or lower case.\n"
    "\n"
    "  usecwd     only as the first argument: look for qbx4.tkx in the current\n"
    "             directory instead of beside the program\n"
    "  -S         silent: install into the proposed directory without asking;\n"
    "             without a display the installation runs without a window,\n"
    "             with its messages and progress on standard error\n"
    "  -L<code>   interface language; ends the scan of switches. Codes:\n"
    "             {languages}\n"
    "  --target=DIR  the template directory instead of the proposed one: the\n"
    "             wizard's directory page starts with it, -S installs there; it\n"
    "             is recorded after a success. A relative DIR is taken from the\n"
    "             current directory. Anywhere after usecwd, also after -L\n"
    "  --log=FILE  append one line per step with a UTC time stamp (kit,\n"
    "             target, each file added, replaced or kept, failures with\n"
    "             their code, commit or rollback, recording, exit status);\n"
    "             never file contents. A log that cannot be opened is an\n"
    "             error before anything changes\n"
    "  --help     print this text;  --version  print the version\n"
    "\n"
    "Exit status:\n"
    "  0  the installation succeeded\n"
    "  1  an error: no kit, a damaged kit, too little temporary space, an empty\n"
    "     proposed directory in a silent run, no display without -S, an empty\n"
    "     --target or --log, a log that cannot be opened, or a failed\n"
    "     installation (rolled back)\n"
    "  2  cancelled by the user, or interrupted by SIGINT, SIGTERM or SIGHUP\n"
    "     (rolled back)\n"
    "\n"
    "Files:\n"
    "  qbx4.tkx                       the kit (read)\n"
    "  ~/.Vq/pivotrun/pivotrun.cfg    launcher configuration (read; written\n"
    "                                 after a success)\n"
    "  ~/.Vq/pivotrunt/pivotrun.cfg   alternative launcher configuration (read;\n"
    "                                 written after a success when present)\n"
    "  ~/.qbx4/Vq/qbx4/tmplts/        default template directory\n"
    "  $TMPDIR/txk*                   the unpacked kit, deleted at the end\n"
    "  $TMPDIR/wz4sx*/                backup and journal of an installation;\n"
    "                                 an interrupted one is restored at the\n"
    "                                 next start\n"
    "\n"
    "Environment:\n"
    "  TMPDIR       temporary directory (default /tmp)\n"
    "  HOME         launcher configuration and default template directory\n"
    "  LANG, LC_ALL interface language and encoding of file names\n"
    "  DISPLAY      the X display of the wizard\n";

constexpr char kGerman[] =
    "Aufruf: tplsetup [usecwd] [-S] [-L<Code>] [--target=VERZ] [--log=DATEI]\n"
    "        tplsetup --help | -h | -? | /?\n"
    "        tplsetup --version\n"
    "\n"
    "Installiert das Distributionspaket qbx4.tkx in das Vorlagenverzeichnis.\n"
    "Schalter beginnen mit \"-\" oder \"/\"; Groß- und Kleinschreibung des\n"
    "Buchstabens ist gleichgültig.\n"
    "\n"
    "  usecwd     nur als erstes Argument: qbx4.tkx im aktuellen Verzeichnis\n"
    "             suchen statt neben dem Programm\n"
    "  -S         still: ohne Rückfrage in das vorgeschlagene Verzeichnis\n"
    "             installieren; ohne Bildschirm läuft die Installation ohne\n"
    "             Fenster; Meldungen und Fortschritt erscheinen auf der\n"
    "             Standardfehlerausgabe\n"
    "  -L<Code>   Sprache der Oberfläche; beendet die Suche nach Schaltern. Codes:\n"
    "             {languages}\n"
    "  --target=VERZ  das Vorlagenverzeichnis statt des vorgeschlagenen: die\n"
    "             Verzeichnisseite beginnt damit, -S installiert dorthin; nach\n"
    "             Erfolg wird es eingetragen. Ein relatives VERZ gilt ab dem\n"
    "             aktuellen Verzeichnis. Überall nach usecwd, auch nach -L\n"
    "  --log=DATEI  je Schritt eine Zeile mit UTC-Zeitstempel anhängen (Paket,\n"
    "             Ziel, jede Datei hinzugefügt, ersetzt oder behalten, Fehler\n"
    "             mit Code, Abschluss oder Rücknahme, Eintrag, Rückgabewert);\n"
    "             nie Dateiinhalte. Ein nicht zu öffnendes Protokoll ist ein\n"
    "             Fehler, bevor sich etwas ändert\n"
    "  --help     diesen Text ausgeben;  --version  die Version ausgeben\n"
    "\n"
    "Rückgabewert:\n"
    "  0  die Installation ist gelungen\n"
    "  1  ein Fehler: kein Paket, ein beschädigtes Paket, zu wenig temporärer\n"
    "     Platz, ein leeres vorgeschlagenes Verzeichnis im stillen Lauf, kein\n"
    "     Bildschirm ohne -S, ein leeres --target oder --log, ein nicht zu\n"
    "     öffnendes Protokoll oder eine fehlgeschlagene Installation\n"
    "     (rückgängig gemacht)\n"
    "  2  vom Benutzer abgebrochen oder durch SIGINT, SIGTERM oder SIGHUP\n"
    "     unterbrochen (rückgängig gemacht)\n"
    "\n"
    "Dateien:\n"
    "  qbx4.tkx                       das Paket (gelesen)\n"
    "  ~/.Vq/pivotrun/pivotrun.cfg    Konfiguration des Starters (gelesen;\n"
    "                                 nach Erfolg geschrieben)\n"
    "  ~/.Vq/pivotrunt/pivotrun.cfg   alternative Konfiguration (gelesen; nach\n"
    "                                 Erfolg geschrieben, wenn vorhanden)\n"
    "  ~/.qbx4/Vq/qbx4/tmplts/        vorgegebenes Vorlagenverzeichnis\n"
    "  $TMPDIR/txk*                   das entpackte Paket, am Ende gelöscht\n"
    "  $TMPDIR/wz4sx*/                Sicherung und Journal einer Installation;\n"
    "                                 eine unterbrochene wird beim nächsten\n"
    "                                 Start wiederhergestellt\n"
    "\n"
    "Umgebung:\n"
    "  TMPDIR       temporäres Verzeichnis (Vorgabe /tmp)\n"
    "  HOME         Konfiguration des Starters und vorgegebenes Vorlagenverzeichnis\n"
    "  LANG, LC_ALL Sprache der Oberfläche und Kodierung der Dateinamen\n"
    "  DISPLAY      der X-Bildschirm des Assistenten\n";

constexpr char kRussian[] =
    "Запуск: tplsetup [usecwd] [-S] [-L<код>] [--target=КАТАЛОГ] [--log=ФАЙЛ]\n"
    "        tplsetup --help | -h | -? | /?\n"
    "        tplsetup --version\n"
    "\n"
    "Устанавливает дистрибутив qbx4.tkx в каталог шаблонов.\n"
    "Ключи начинаются с \"-\" или \"/\"; регистр буквы не важен.\n"
    "\n"
    "  usecwd     только первым аргументом: искать qbx4.tkx в текущем\n"
    "             каталоге, а не рядом с программой\n"
    "  -S         тихий режим: установить в предложенный каталог без вопросов;\n"
    "             без дисплея установка идёт без окна, сообщения и ход\n"
    "             установки выводятся в стандартный поток ошибок\n"
    "  -L<код>    язык интерфейса; дальше ключи не читаются. Коды:\n"
    "             {languages}\n"
    "  --target=КАТАЛОГ  каталог шаблонов вместо предложенного: с него\n"
    "             начинается страница выбора каталога, -S устанавливает туда;\n"
    "             после успеха он записывается в настройки. Относительный\n"
    "             путь берётся от текущего каталога. Где угодно после usecwd,\n"
    "             в том числе после -L\n"
    "  --log=ФАЙЛ  дописывать по строке на шаг с меткой времени UTC\n"
    "             (дистрибутив, каталог, каждый файл: добавлен, заменён или\n"
    "             оставлен, ошибки с кодом, фиксация или откат, запись в\n"
    "             настройки, код завершения); без содержимого файлов.\n"
    "             Если журнал не открывается, это ошибка до любых изменений\n"
    "  --help     вывести эту справку;  --version  вывести версию\n"
    "\n"
    "Код завершения:\n"
    "  0  установка выполнена\n"
    "  1  ошибка: нет дистрибутива, дистрибутив повреждён, мало временного\n"
    "     места, пустой предложенный каталог в тихом режиме, нет дисплея без\n"
    "     -S, пустой --target или --log, журнал не открывается или установка\n"
    "     не удалась (изменения отменены)\n"
    "  2  отменено пользователем или прервано сигналом SIGINT, SIGTERM или\n"
    "     SIGHUP (изменения отменены)\n"
    "\n"
    "Файлы:\n"
    "  qbx4.tkx                       дистрибутив (чтение)\n"
    "  ~/.Vq/pivotrun/pivotrun.cfg    настройки программы запуска (чтение;\n"
    "                                 запись после успешной установки)\n"
    "  ~/.Vq/pivotrunt/pivotrun.cfg   альтернативные настройки (чтение; запись\n"
    "                                 после успешной установки, если есть)\n"
    "  ~/.qbx4/Vq/qbx4/tmplts/        каталог шаблонов по умолчанию\n"
    "  $TMPDIR/txk*                   распакованный дистрибутив, удаляется\n"
    "                                 в конце\n"
    "  $TMPDIR/wz4sx*/                резервная копия и журнал установки;\n"
    "                                 прерванная установка откатывается при\n"
    "                                 следующем запуске\n"
    "\n"
    "Окружение:\n"
    "  TMPDIR       временный каталог (по умолчанию /tmp)\n"
    "  HOME         настройки программы запуска и каталог шаблонов по умолчанию\n"
    "  LANG, LC_ALL язык интерфейса и кодировка имён файлов\n"
    "  DISPLAY      X-дисплей мастера установки\n";

constexpr UsageBody kBodies[] = {
    {"en", kEnglish},
    {"de", kGerman},
    {"ru", kRussian},
};

}  // namespace

const char* FindUsageBody(const char* languageCode) {
    if (languageCode == nullptr) return nullptr;
    for (const UsageBody& body : kBodies) {
        if (std::strcmp(body.code, languageCode) == 0) return body.text;
    }
    return nullptr;
}

}  // namespace tpl
