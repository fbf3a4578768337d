#pragma once

// User-facing text exists in English and German.
namespace Language {

// True when the user's first preferred language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) begins with "de".
bool prefersGerman();

}  // namespace Language
