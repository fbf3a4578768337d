#pragma once

// `tarnwick web on|off|status|code|connections|revoke ID|all`: drives the web bridge of
// the running resident app (started when needed) and prints its answer.
int runWebCommand(int argc, char** argv);
