// Card commands: firmware download, detection probe, mixer map, card parameters.
#include "crc32.h"
#include "driver/driver.h"
#include "requests.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvl {

namespace {

std::string hex32(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08x", v);
  return buf;
}

// True when the name is a driver's or an added card's. Plug-and-play
// devices reach the driver through the bus driver, so their settings may name
// a driver that no added card carries.
bool card_known(const SimCall &c, const std::string &name) {
  if (machine_driver_by_name(c.machine, name) >= 0) return true;
  for (const auto &card : c.state["cards"])
    if (card.value("name", std::string()) == name) return true;
  return false;
}

// One chunk of a firmware image for the driver named in the record. Chunks
// must follow each other in order; the image is complete when the chunk
// marked last ends it.
int download(SimCall &c, const std::string &name, CardCommandRecord *r) {
  const DownloadPayload *p = reinterpret_cast<const DownloadPayload *>(r->payload);
  c.entry["first"] = p->first;
  c.entry["last"] = p->last;
  c.entry["total"] = p->total;
  c.entry["length"] = p->length;
  c.entry["offset"] = p->offset;
  if (p->length < 1 || p->length > DOWNLOAD_CHUNK) return -EINVAL;
  c.entry["checksum"] = hex32(crc32_update(0, p->data, static_cast<size_t>(p->length)));
  if (machine_driver_by_name(c.machine, name) < 0) return -ENXIO;
  if (p->total < 1 || p->offset < 0 || p->offset > p->total - p->length) return -EINVAL;
  SimJson &fw = c.state["firmware"];
  if (p->first) {
    fw[name] = {{"total", p->total}, {"received", 0}, {"complete", false}, {"checksum", hex32(0)}};
  }
  if (!fw.contains(name)) return -EINVAL;  // no first chunk yet
  SimJson &img = fw[name];
  if (img["complete"].get<bool>() || img["total"].get<int>() != p->total ||
      img["received"].get<int>() != p->offset) {
    fw.erase(name);  // out of order: the image is lost
    return -EINVAL;
  }
  uint32_t crc = static_cast<uint32_t>(std::stoul(img["checksum"].get<std::string>(), nullptr, 16));
  img["checksum"] = hex32(crc32_update(crc, p->data, static_cast<size_t>(p->length)));
  img["received"] = p->offset + p->length;
  if (p->last) img["complete"] = img["received"].get<int>() == p->total;
  return 0;
}

// Probes for the non-plug-and-play ISA cards of a driver: one line
// "CARD PORT" (port in hex) per card present, or the entry's own reply line.
// Returns the number found.
int detect(SimCall &c, const std::string &name, CardCommandRecord *r) {
  if (machine_driver_by_name(c.machine, name) < 0) return -ENXIO;
  std::string reply;
  int found = 0;
  for (const auto &hw : c.machine.isa) {
    if (hw.driver != name) continue;
    if (hw.has_reply) {
      reply += hw.reply + "\n";
    } else {
      char line[128];
      std::snprintf(line, sizeof line, " %x\n", static_cast<unsigned>(hw.port));
      reply += hw.card + line;
    }
    found++;
  }
  set_field_text(reinterpret_cast<char *>(r->payload), CARD_COMMAND_PAYLOAD, reply);
  c.entry["reply"] = field_text(reinterpret_cast<char *>(r->payload), CARD_COMMAND_PAYLOAD);
  return found;
}

int mixmap(SimCall &c, const std::string &name, const CardCommandRecord *r) {
  c.entry["from"] = r->payload[0];
  c.entry["to"] = r->payload[1];
  if (!card_known(c, name)) return -ENXIO;
  SimJson &s = c.state["card_settings"][name];
  if (!s.contains("mixmap")) s["mixmap"] = SimJson::array();
  s["mixmap"].push_back({r->payload[0], r->payload[1]});
  return 0;
}

int parm(SimCall &c, const std::string &name, const CardCommandRecord *r) {
  c.entry["parm"] = r->payload[0];
  c.entry["value"] = r->payload[1];
  if (r->payload[0] != 1 && r->payload[0] != 2) return -EINVAL;
  if (!card_known(c, name)) return -ENXIO;
  c.state["card_settings"][name]["parm" + std::to_string(r->payload[0])] = r->payload[1];
  return 0;
}

}  // namespace

int req_card_command(SimCall &c) {
  CardCommandRecord *r = static_cast<CardCommandRecord *>(c.arg);
  std::string name = field_text(r->name, sizeof r->name);
  c.entry["name"] = name;
  c.entry["command"] = r->command;
  switch (r->command) {
    case CMD_DOWNLOAD: return download(c, name, r);
    case CMD_DETECT: return detect(c, name, r);
    case CMD_MIXMAP: return mixmap(c, name, r);
    case CMD_PARM: return parm(c, name, r);
    default: return -EINVAL;
  }
}

}  // namespace kvl
