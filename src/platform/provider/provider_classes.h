// Registers the provider's automation classes ("ADODB.Connection",
// "ADODB.Recordset", "ADODB.Command", "ADOX.Catalog") with CreateObject.
// Programs call it once at start-up; calling it again does nothing.
#pragma once

namespace provider {

void RegisterProviderClasses();

}  // namespace provider
