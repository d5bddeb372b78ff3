// What a configuration front end loads before it reads etc/devices.cfg: the
// hardware database, the module dependencies and the IRQs of PCI devices, so
// that the configurator and kvlcfg start from the same tables.
#pragma once

namespace kvl {

struct ConfigModel;
struct ControlDevice;
struct HwdbModel;

// Loads DIR/etc/config.dat into *db (the caller frees it with
// hwdb_model_free; verbosity 7 dumps it on standard error), reads
// etc/modules.dep, asks the driver for the PCI IRQs (none without one) and
// makes the holder tables' current contents the system's base. The driver
// table is the caller's. Returns 0, or -1 after printing why.
int load_hardware_data(ConfigModel &model, const ControlDevice &control, HwdbModel *db);

}  // namespace kvl
