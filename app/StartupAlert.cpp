#include "app/StartupAlert.hpp"

#include "kit/common/PlatformTexts.hpp"

namespace {

constexpr PlatformTexts::Text alreadyRunningEnglish{
    "Another copy is running. Open your installed Tarnwick from Applications. To replace it with this copy, quit "
    "the running app first, then open this copy again.",
    "Another copy is running. To replace it with this copy, quit the running app first, then open this copy again."};

constexpr PlatformTexts::Text alreadyRunningGerman{
    "Eine andere Kopie läuft bereits. Öffne dein installiertes Tarnwick aus dem Ordner „Programme“. Um sie durch "
    "diese Kopie zu ersetzen, beende zuerst die laufende App und öffne dann diese Kopie erneut.",
    "Eine andere Kopie läuft bereits. Um sie durch diese Kopie zu ersetzen, beende zuerst die laufende App und "
    "öffne dann diese Kopie erneut."};

}  // namespace

StartupAlert StartupAlert::alreadyRunning(bool german) {
  return {german ? "Tarnwick läuft bereits" : "Tarnwick is already running",
          std::string(german ? alreadyRunningGerman() : alreadyRunningEnglish())};
}

StartupAlert StartupAlert::forError(const std::string& error, bool german) {
  return {german ? "Tarnwick konnte nicht starten" : "Tarnwick could not start",
          (german ? "Der Hintergrunddienst konnte nicht gestartet werden." : "The background service could not be started.") +
              std::string("\n\n") + error};
}
