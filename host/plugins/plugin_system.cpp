#include "plugins/plugin_system.hpp"

namespace kelv {

namespace {
PluginSystem* g_override = nullptr;
PluginHostHooks g_hooks;
}  // namespace

PluginSystem& CurrentPluginSystem() { return g_override ? *g_override : DefaultPluginSystem(); }

void SetPluginSystem(PluginSystem* system) { g_override = system; }

void SetPluginHostHooks(const PluginHostHooks& hooks) { g_hooks = hooks; }

const PluginHostHooks& CurrentPluginHostHooks() { return g_hooks; }

}  // namespace kelv
