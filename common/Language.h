#pragma once

#include <QString>

// The language of the texts a person reads. Source keeps the texts as written in the code.
enum class Language { Source, English, Italian };

namespace Languages {
// "en", "it" or "source"; false for anything else.
bool parse(const QString &name, Language *language);
// Italian for an Italian system locale, the texts as written for the C locale, else English.
Language ofSystem();
// Makes language the one of the whole program, after the application exists.
bool install(Language language);
// The value of --language ("" when not given: the system's choice) installed; false with a
// one-line reason when it names no language.
bool apply(const QString &option, QString *error);
} // namespace Languages
