// Which pages may open a game connection on the web port.
//
// A browser opens a WebSocket for any page that asks, and says which site
// the page came from in `Origin`. Without a check, a page on another site
// could open a connection to a world on the player's own machine or network
// and act for whoever types into it. So only the world's own page (the
// origin of the address the browser reached, `Host`) and the origins the
// operator lists (`--web-origin`) may play; a request without `Origin` comes
// from no browser page (a test client, a load tool) and is let through.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelva::world {

bool webOriginAllowed(std::string_view origin, std::string_view host, const std::vector<std::string>& listed);

}  // namespace kelva::world
