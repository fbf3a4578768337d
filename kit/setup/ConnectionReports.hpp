#pragma once
#include <string>
#include <vector>

#include "kit/setup/ClientSetup.hpp"

// What the user reads about connecting agents, in English or German.
namespace ConnectionReports {

std::string detail(const ClientSetup::Outcome& outcome, const std::string& home, bool german);
// One line per client, then the manual commands and the closing advice.
std::string summary(const std::vector<ClientSetup::Report>& reports, const std::string& home,
                    const std::string& executable, bool german);

}  // namespace ConnectionReports
