// Request handlers of the simulated driver, dispatched by sim_request.
#pragma once

#include "machine.h"
#include "simdir.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvl {

// One request being answered. Handlers read and write the record at arg,
// change state, and add the decoded record fields to entry (the journal
// line). They return the result (0 or more) or a negated errno.
struct SimCall {
  const Machine &machine;
  SimJson &state;
  SimJson &entry;
  uint32_t code;
  void *arg;
};
using SimHandler = int (*)(SimCall &c);

// Answers a request for kvlsim's own helpers: like sim_request, but neither
// journalled nor subject to faults. Returns the result, or -1 with errno set.
int sim_request_direct(const std::string &root, uint32_t code, void *arg);

// Handler of a request code, or nullptr for a code the driver does not know
// and for the sequencer requests (answered by seqsim_answer).
SimHandler find_handler(uint32_t code);

// The request's constant name ("CTL_GET_VERSION", ...) or nullptr.
const char *request_name(uint32_t code);
// True when text names a request: its label, its name, or its code in hex.
bool request_matches(uint32_t code, const std::string &text);
// True when text names any request the driver knows.
bool request_known(const std::string &text);

// A NUL-terminated text from a fixed-size record field (never reads beyond n).
std::string field_text(const char *p, size_t n);
// Copies text into a fixed-size field, cut to fit, NUL-terminated.
void set_field_text(char *p, size_t n, const std::string &text);

// Starts the cards added so far: sets their initialised flags, the audio
// devices, mixers and synthesizers, the default routing and the status.
void activate_cards(const Machine &m, SimJson &state);

// Handlers, grouped by file.
int req_get_version(SimCall &c);
int req_get_ndrivers(SimCall &c);
int req_get_drivers(SimCall &c);
int req_get_drivers_long(SimCall &c);
int req_get_driver_types(SimCall &c);
int req_get_status(SimCall &c);
int req_get_ncards(SimCall &c);
int req_get_card_info(SimCall &c);
int req_add_card(SimCall &c);
int req_activate(SimCall &c);
int req_card_header(SimCall &c);

int req_card_command(SimCall &c);

int req_pnp_detect(SimCall &c);
int req_pnp_card_info(SimCall &c);
int req_pnp_resources(SimCall &c);
int req_pnp_end(SimCall &c);
int req_pnp_restart(SimCall &c);
int req_pnp_set_port(SimCall &c);
int req_set_pnp_device(SimCall &c);
int req_get_pci_irqs(SimCall &c);

int req_set_option(SimCall &c);
int req_mixer_setlevels(SimCall &c);
int req_sysinfo(SimCall &c);
int req_audioinfo(SimCall &c);
int req_get_reroute(SimCall &c);
int req_set_reroute(SimCall &c);

}  // namespace kvl
