#pragma once
#include <string>

// What the install offer says, in English or German.
struct MoveTexts {
  bool german = false;

  std::string headline() const {
    return german ? "Tarnwick an einem festen Ort installieren?" : "Install Tarnwick in a lasting place?";
  }
  std::string explanation() const {
    return german ? "Du hast Tarnwick direkt aus dem Download gestartet. Deine Agenten finden Tarnwick nur an "
                    "einem festen Ort zuverlässig."
                  : "You started Tarnwick straight from the download. Your agents find it reliably only in a "
                    "lasting place.";
  }
  std::string forMe(const std::string& directory) const {
    return (german ? "Für mich, in " : "For me, in ") + directory;
  }
  std::string forEveryone(const std::string& directory, bool asksPassword) const {
    std::string text = (german ? "Für alle Benutzer, in " : "For every user, in ") + directory;
    if (asksPassword) text += german ? " (fragt nach dem Administrator-Passwort)" : " (asks for an administrator's password)";
    return text;
  }
  std::string replaced() const {
    return german ? "Die Tarnwick-App, die dort schon liegt, wird beendet und ersetzt."
                  : "The Tarnwick already there is quit and replaced.";
  }
  std::string replacedNewer(const std::string& version) const {
    return german ? "Die Tarnwick-App, die dort schon liegt, ist neuer (" + version + "); sie wird beendet und ersetzt."
                  : "The Tarnwick already there is newer (" + version + "); it is quit and replaced.";
  }
  std::string notNow() const { return german ? "Nicht jetzt" : "Not now"; }
  std::string choose() const { return german ? "Wähle 1, 2 oder 3: " : "Choose 1, 2 or 3: "; }
  std::string autostartQuestion() const {
    return german ? "Tarnwick beim Anmelden starten? [j/N] " : "Start Tarnwick when you log in? [y/N] ";
  }
  bool isYes(const std::string& answer) const {
    return answer == "y" || answer == "Y" || answer == "yes" || (german && (answer == "j" || answer == "J" || answer == "ja"));
  }
  std::string installing() const { return german ? "Wird installiert …" : "Installing…"; }
  std::string installed(const std::string& target) const {
    return german ? "Tarnwick ist als " + target + " installiert und startet von dort."
                  : "Tarnwick is installed as " + target + " and starts from there.";
  }
  std::string repointed(const std::string& client, const std::string& target) const {
    return german ? client + " startet jetzt " + target + "." : client + " now starts " + target + ".";
  }
  std::string didNotQuit(const std::string& directory) const {
    return german ? "Die Tarnwick-App in " + directory + " hat sich nicht beendet. Beende sie und versuche es erneut."
                  : "The Tarnwick in " + directory + " did not quit. Quit it and try again.";
  }
  std::string couldNotMove(const std::string& directory) const {
    return german ? "Tarnwick konnte nicht installiert werden. Kopiere die Datei tarnwick selbst nach " + directory + "."
                  : "Tarnwick could not be installed. Copy the file tarnwick into " + directory + " yourself.";
  }
};
