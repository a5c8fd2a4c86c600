// Writes presentation/regional_data.cpp: the short date format, the decimal separator and the
// zero digit of every locale Qt knows, from Qt's own locale data (CLDR). Run by the target
// regional-data, not at every build; the written source is kept in the tree.
//
// A name is kept only where its values differ from those the lookup would find without it
// (presentation/regional.cpp: language_Script_TERRITORY, language_Script, language_TERRITORY,
// language), so "de_DE" is not written when "de" gives the same.
#include <cstdio>
#include <map>
#include <optional>
#include <tuple>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QTextStream>

namespace {

struct Values {
    QByteArray pattern; // UTF-8
    char decimal = '.';
    char32_t zero = U'0';
    bool operator<(const Values& o) const {
        return std::tie(pattern, decimal, zero) < std::tie(o.pattern, o.decimal, o.zero);
    }
    bool operator==(const Values& o) const {
        return pattern == o.pattern && decimal == o.decimal && zero == o.zero;
    }
};

// The numbers are written in Latin digits; a locale whose decimal point is not ASCII writes its
// numbers in its own digits (the Arabic separator with Arabic-Indic digits), and Latin digits
// take the point there.
Values ValuesOf(const QLocale& l) {
    Values v;
    v.pattern = l.dateFormat(QLocale::ShortFormat).toUtf8();
    const QString point = l.decimalPoint();
    v.decimal = point.size() == 1 && point[0].unicode() < 0x80 ? char(point[0].unicode()) : '.';
    v.zero = l.zeroDigit().toUcs4().value(0, U'0');
    return v;
}

// A C++ narrow string literal of UTF-8 bytes, every non-ASCII byte as an octal escape.
QByteArray Literal(const QByteArray& bytes) {
    QByteArray out = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || c == '"' || c == '\\') {
            out += '\\' + QByteArray::number(u, 8).rightJustified(3, '0');
        } else {
            out += c;
        }
    }
    return out + '"';
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <regional_data.cpp>\n", argv[0]);
        return 2;
    }
    const QLocale c(QLocale::C);
    // The names each locale of Qt's goes by, the legacy language codes Qt still takes among them.
    QSet<QString> languages, languageScripts, languageTerritories, full;
    for (const QLocale& l : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                     QLocale::AnyTerritory)) {
        if (l.language() == QLocale::C) {
            continue;
        }
        const QString lang = QLocale::languageToCode(l.language());
        const QString script = QLocale::scriptToCode(l.script());
        const QString territory = QLocale::territoryToCode(l.territory());
        languages << lang;
        languageScripts << lang + '_' + script;
        languageTerritories << lang + '_' + territory;
        full << lang + '_' + script + '_' + territory;
    }
    for (const char* legacy : {"iw", "in", "ji", "no", "tl", "mo", "sh"}) {
        if (QLocale(QString::fromLatin1(legacy)).language() != QLocale::C) {
            languages << QString::fromLatin1(legacy);
        }
    }

    std::map<QString, Values> kept;
    const auto lookup = [&](const QStringList& chain) -> std::optional<Values> {
        for (const QString& key : chain) {
            if (const auto it = kept.find(key); it != kept.end()) {
                return it->second;
            }
        }
        return std::nullopt;
    };
    const auto keep = [&](const QSet<QString>& names, auto fallback) {
        QStringList sorted(names.begin(), names.end());
        sorted.sort();
        for (const QString& name : sorted) {
            const Values v = ValuesOf(QLocale(name));
            if (v.pattern.isEmpty() || lookup(fallback(name.split('_'))) == v) {
                continue;
            }
            kept[name] = v;
        }
    };
    keep(languages, [](const QStringList&) { return QStringList{}; });
    keep(languageScripts, [](const QStringList& p) { return QStringList{p[0]}; });
    keep(languageTerritories, [](const QStringList& p) { return QStringList{p[0]}; });
    keep(full, [](const QStringList& p) {
        return QStringList{p[0] + '_' + p[1], p[0] + '_' + p[2], p[0]};
    });

    std::map<Values, int> formats;
    for (const auto& [name, v] : kept) {
        formats.emplace(v, 0);
    }
    int index = 0;
    for (auto& [v, i] : formats) {
        i = index++;
    }

    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    QTextStream out(&file);
    out << "// clang-format off\n"
        << "// The regional data of every locale Qt " << qVersion()
        << " knows, from its locale data (CLDR).\n"
        << "// Written by tools/gen_regional (cmake --build <dir> --target regional-data); do not "
           "edit.\n"
        << "#include \"presentation/regional_data.h\"\n\n"
        << "namespace hrv::regional_data {\n\n"
        << "// The short date pattern, the decimal separator, the zero digit.\n"
        << "const Format kFormats[] = {\n";
    for (const auto& [v, i] : formats) {
        out << "    {" << Literal(v.pattern) << ", '" << v.decimal << "', 0x"
            << QString::number(uint(v.zero), 16) << "},\n";
    }
    out << "};\nconst std::size_t kFormatCount = " << formats.size() << ";\n\n"
        << "// The names in byte order, each with its format.\n"
        << "const Name kNames[] = {\n";
    for (const auto& [name, v] : kept) {
        out << "    {\"" << name << "\", " << formats.at(v) << "},\n";
    }
    out << "};\nconst std::size_t kNameCount = " << kept.size() << ";\n\n"
        << "} // namespace hrv::regional_data\n";
    std::fprintf(stderr, "%zu names, %zu formats\n", kept.size(), formats.size());
    return 0;
}
