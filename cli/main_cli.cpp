// rvx-cli: the usage text and the dispatch of the subcommands.
#include "cli/commands.h"
#include "util/executor.h"

#include <cerrno>
#include <cstring>
#include <ostream>

namespace hrv::cli {

namespace {

// The usage text of each command, in the order the full text gives them.
struct CommandUsage {
    const char* command;
    const char* text;
};
constexpr CommandUsage kCommandUsage[] = {
    {"analyze",
     "  rvx-cli analyze [--type rr|ppg|txt|wfdb|edf] [--format json|text] [--spectrum]\n"
     "                  [--nonlinear] [--correct none|auto] [--table PATH]\n"
     "                  [--windows STEP] [--beats detect|annotations]\n"
     "                  [--channel NAME|N] [--method system|standard [--interp HZ]\n"
     "                  [--detrend none|priors[:LAMBDA]] [--welch-window S]\n"
     "                  [--welch-overlap PERCENT] [--ar-order N] [--ar-method fb|burg]\n"
     "                  [--points-per-hz P] [--nn-threshold MS]] FILE...\n"
     "      Analyses each fragment and prints one JSON object per file (JSON Lines):\n"
     "      the time-domain and spectral indices and the intervals in 10 ms ticks;\n"
     "      --spectrum adds \"Power\", the 150 spectral bins (k/300 Hz, ticks^2/Hz).\n"
     "      --nonlinear adds SD1, SD2, SD1SD2, SampEn, DFA_alpha1, DFA_alpha2 and SI\n"
     "      (null where undefined); with --format text a third block of lines.\n"
     "      --method standard adds \"standard\" at the end of the line: the Task Force\n"
     "      analysis of every interval of the file as read (README, \"Standard (Task\n"
     "      Force) analysis\"): spline at --interp Hz (4), --detrend none or smoothness\n"
     "      priors (lambda 500), Welch --welch-window s (300) with --welch-overlap %\n"
     "      (50), AR of --ar-order (16) by --ar-method (fb), Lomb-Scargle,\n"
     "      --points-per-hz (300), NNxx above --nn-threshold ms (50); null where\n"
     "      undefined, {\"error\": ...} when it cannot be analysed; with --spectrum each\n"
     "      spectrum's \"psd\" (0..0.5 Hz). With --windows each window's line gets\n"
     "      its own \"standard\": the intervals from the window's first that end within\n"
     "      300 s of its start. With --format text a block \"Стандартный анализ\"\n"
     "      follows the file's lines: its settings, the values with their units and the\n"
     "      band powers of the three spectra (\"—\" where undefined); with --windows\n"
     "      too, after the window rows, its settings and a row per window (start, Mean\n"
     "      RR, SDNN, RMSSD, pNNxx, Welch LF, HF, LF/HF). With --table the table's rows\n"
     "      stay the system's own; each row's standard results go, under its identity,\n"
     "      to the table beside it named with \"_std\" before the extension (rvx_std.txt).\n"
     "      With --correct auto it takes the corrected series of every interval of the\n"
     "      file: the intervals the correction left keep their value as read (ms), those\n"
     "      it made or moved take its 10 ms ticks.\n"
     "      --correct auto finds and corrects artefact beats (missed, extra, premature,\n"
     "      misplaced) before the analysis; \"intervals\" stay the file's own, and\n"
     "      \"corrected_intervals\" (the series analysed) and \"artefacts\" (each with its\n"
     "      0-based \"index\" in \"intervals\" and its \"kind\") are added. Default none.\n"
     "      --format text prints instead, per file, its name and the lines of the\n"
     "      window's two result panels, with the locale's decimal separator; with\n"
     "      --correct auto the first panel ends with \"Коррекция: N из M (P %)\", the\n"
     "      artefacts corrected in the M intervals analysed.\n"
     "      The file type follows the extension (.ppg is a pulse wave, .txt and .csv a\n"
     "      list of RR intervals in milliseconds, .hea a WFDB record, .dat one with its\n"
     "      .hea beside it, .edf and .bdf an EDF/BDF file, anything else an RR file)\n"
     "      unless --type says otherwise. A record's intervals are those between its\n"
     "      beats, each beat time rounded to the 10 ms tick; --beats and --channel\n"
     "      choose them as for rvx-cli beats, and its line says after \"ok\" where they\n"
     "      came from (\"beats\": \"detected\" or \"annotations\") and the channel\n"
     "      (\"channel\": \"MLII\"). A file that fails gives\n"
     "      {\"ok\": false, \"error\": ...} and the run goes on.\n"
     "      --table PATH appends one line of results per analysed file to the summary\n"
     "      table at PATH (Windows-1251, tab-separated, created with its header), as the\n"
     "      window's \"В отчет\" does; the file's identity is its base name, a blank and its\n"
     "      date, and the numbers use the locale's decimal separator. A file whose identity\n"
     "      the table holds already is reported on stderr and not added again. With\n"
     "      --correct auto the identity ends with \" (коррекция)\".\n"
     "      --windows STEP analyses the whole recording (RR files and lists of up to\n"
     "      1,000,000 intervals, PPG files whole) window by window: window w = 0, 1, ...\n"
     "      is the five-minute fragment from the first interval that starts at or after\n"
     "      w * STEP seconds (300: consecutive windows, 30: a sliding one), analysed as\n"
     "      a file beginning at that interval would be (--correct as there); the\n"
     "      windows go on while 300 s follow. One JSON line per window: \"window\",\n"
     "      \"first\" (0-based position of its first interval) and \"start_s\" (its start\n"
     "      in seconds) after \"ok\", then the indices without \"intervals\" and\n"
     "      \"corrected_intervals\". --format text prints a row per window (start\n"
     "      hh:mm:ss, HR, SDNN, RMSSD, LF, HF, LF/HF; DFA a1 with --nonlinear); --table\n"
     "      a table row per window, its identity ending with its start (\" [03:25:00]\").\n"
     "      Without --windows a recording of more than ten minutes is analysed over\n"
     "      its first 300 s, as the window does, and a note on stderr says so.\n"},
    {"beats", "  rvx-cli beats [--channel NAME|N] [--beats detect|annotations] [--type T] FILE\n"
              "      Writes the recording's beats to stdout as CSV: the header\n"
              "      time_s,sample,kind,source, then one beat a line: its time in seconds (to\n"
              "      the microsecond), its 0-based sample at the channel's own rate, its kind\n"
              "      (normal, supraventricular, ventricular, fusion, paced, unclassifiable,\n"
              "      unknown) and its source (detected, annotation; device for a PPG file's\n"
              "      pulses, at the frames of its wave, and intervals for an RR file's beats,\n"
              "      both at 100 samples a second; intervals for an RR list's beats, its\n"
              "      intervals as written, the sample in microseconds).\n"
              "      A WFDB record (FILE.hea, or FILE.dat with its header beside it) or an\n"
              "      EDF/BDF file: --beats detect (the default) finds the R-peaks of the chosen\n"
              "      channel, --beats annotations takes the record's reference beats (the .atr\n"
              "      beside a WFDB header, the beat annotations of an EDF+ file). The channel is\n"
              "      --channel (a name, any case, or a 0-based number), else the record's ECG\n"
              "      lead by its label (MLII, II, ECG, EKG, V5, V1, V2, I; then a label holding\n"
              "      ECG or EKG), else the first. A record that cannot be read gives its fault\n"
              "      on stderr, exit status 1.\n"},
    {"convert",
     "  rvx-cli convert FILE.ppg...\n"
     "      Detects the pulses of each PPG file and writes them as the RR file beside it\n"
     "      (the extension replaced by .rr; an existing RR file is replaced).\n"},
    {"print",
     "  rvx-cli print --pdf OUT.pdf [--type rr|ppg|txt|wfdb|edf] [--correct none|auto]\n"
     "                [--windows STEP [--nonlinear]] [--beats detect|annotations]\n"
     "                [--channel NAME|N] [--method system|standard [--interp HZ] ...]\n"
     "                FILE\n"
     "      Analyses one fragment and writes its one-page report as a PDF file, drawn as\n"
     "      the window prints it. Needs a build with the window (rvx-print beside rvx-cli);\n"
     "      with no display it draws offscreen. --correct auto corrects artefact beats\n"
     "      first, as the window's \"Коррекция артефактов\" does: the page carries the\n"
     "      correction line and the rhythmogram shows the corrected beats in red.\n"
     "      --windows STEP draws instead the trend report of the whole recording, its\n"
     "      windows taken as analyze --windows takes them: HR, SDNN, RMSSD, LF, HF and\n"
     "      LF/HF of each window over its start time, under the file's name and date, the\n"
     "      step and the count of windows, on one A4 page; --nonlinear adds DFA a1, and\n"
     "      the spectral charts then go to a second page.\n"
     "      --method standard (and the options of analyze --method standard) adds under\n"
     "      the charts the block \"Стандартный анализ\": its settings, the time-domain\n"
     "      values and the main band values of the Welch and AR spectra of every\n"
     "      interval of the file (not with --windows).\n"},
    {"record",
     "  rvx-cli record [--port COM1|COM2|COM3] [--baud 600|2400|19200|38400]\n"
     "                 [--device 0|1] [--out FILE.rr] [--spectrum] [--silence SECONDS]\n"
     "                 [--correct none|auto]\n"
     "      Records a fragment from the pulse sensor device as the window's Start does\n"
     "      (defaults COM2, 2400 baud, the first device model; --device 1 is the second\n"
     "      model), taking the bytes as they arrive. It ends past 330 s of intervals or at\n"
     "      2000 intervals; Ctrl+C aborts. --out saves the fragment as an RR file (the\n"
     "      intervals as recorded, also with --correct auto). Prints the analysis as\n"
     "      analyze does (--correct as there); device status texts and errors go to stderr\n"
     "      (exit status 1). A device that hangs up or goes away ends the recording with\n"
     "      the read error at once; so does a device that sends nothing for --silence\n"
     "      seconds (default 10; 0 waits for ever). Nothing is saved after an error.\n"
     "      On Linux COM1..COM3 are /dev/ttyS0..2 unless RVX_COM1..RVX_COM3 name\n"
     "      another device (e.g. the pseudo-terminal of rvx-devsim).\n"},
};

// After the commands: the program's own options, the encoding of names, the exit status.
constexpr const char* kUsageEnd =
    "  rvx-cli --help, rvx-cli COMMAND --help\n"
    "  rvx-cli --version\n"
    "JSON strings are UTF-8; a byte of a path that is not part of well-formed UTF-8\n"
    "(a name in another encoding) is written as the character U+EF00 + the byte\n"
    "(\\uef80..\\uefff), so each line stays valid UTF-8 and the name can be restored.\n"
    "Exit status: 0 all files done, 1 some file failed or the standard output could\n"
    "not be written (a message on stderr), 2 usage error.\n";

// True when the words of a command ask for its help ("--help" or "-h" before any "--").
bool AsksForHelp(const Args& words) {
    for (const std::string& w : words) {
        if (w == "--") {
            return false;
        }
        if (w == "--help" || w == "-h") {
            return true;
        }
    }
    return false;
}

} // namespace

void Usage(std::ostream& os) {
    os << "Usage:\n";
    for (const CommandUsage& c : kCommandUsage) {
        os << c.text;
    }
    os << kUsageEnd;
}

bool OutputWritten(std::ostream& out, std::ostream& err) {
    errno = 0;
    out.flush();
    if (out) {
        return true;
    }
    const int why = errno;
    err << "rvx-cli: the standard output cannot be written";
    if (why != 0) {
        err << " (" << std::strerror(why) << ")";
    }
    err << "; what it should hold is lost\n";
    return false;
}

namespace {

int Dispatch(const Args& args, Executor& executor, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        Usage(err);
        return kExitUsage;
    }
    const std::string& command = args[0];
    const Args rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        Usage(out);
        return kExitOk;
    }
    if (command == "--version") {
        out << "rvx-cli " << RVX_VERSION << "\n";
        return kExitOk;
    }
    for (const CommandUsage& c : kCommandUsage) {
        if (command == c.command && AsksForHelp(rest)) {
            out << "Usage:\n" << c.text;
            return kExitOk;
        }
    }
    if (command == "analyze") {
        return Analyze(rest, executor, out, err);
    }
    if (command == "beats") {
        return Beats(rest, out, err);
    }
    if (command == "convert") {
        return Convert(rest, out, err);
    }
    if (command == "print") {
        return Print(rest, out, err);
    }
    if (command == "record") {
        return Record(rest, executor, out, err);
    }
    err << "rvx-cli: unknown command " << command << "\n";
    Usage(err);
    return kExitUsage;
}

} // namespace

int Run(const Args& args, Executor& executor, std::ostream& out, std::ostream& err) {
    const int status = Dispatch(args, executor, out, err);
    if (!out && status != kExitOk) {
        return status; // the command has ended on it and said so
    }
    if (!OutputWritten(out, err)) {
        return status == kExitUsage ? kExitUsage : kExitFailed;
    }
    return status;
}

int Run(const Args& args, std::ostream& out, std::ostream& err) {
    return Run(args, ProgramExecutor(), out, err);
}

} // namespace hrv::cli
