#include "app/db_check_command.h"

#include <memory>
#include <ostream>

#include "db/database_manager.h"
#include "db/odbc_connection.h"
#include "app/current_settings.h"
#include "service/config/settings.h"

namespace plexivar {

int RunDbCheckCommand(std::ostream& out, std::ostream& err) {
    Settings settings;
    if (LoadCurrentSettings(settings, err).empty()) return 1;
    const ServiceSettings& service = settings.service;

    db::DatabaseManager manager(service, std::make_unique<db::OdbcConnection>());
    out << "Data source: " << service.DSN << " (user " << service.DSNuser << ")\n";
    std::string error;
    if (!manager.ConnectWith(service.DSN, service.DSNuser, service.DSNpw,
                             service.KeepConnection != 0, error)) {
        out << "Connection: failed - " << error << "\n";
        return 1;
    }
    out << "Connection: open\n";

    int status = 0;
    const int rows = manager.LoadLocationNames(error);
    if (rows < 0) {
        out << "Locations: failed - " << error << "\n";
        status = 1;
    } else {
        out << "Locations: " << rows << "\n";
        for (const db::Location& location : manager.LocationList())
            out << "  " << location.id << " " << location.name << "\n";
        const int id = manager.LocationIdFor(service.LocationName);
        out << "LocationName '" << service.LocationName << "': "
            << (id != 0 ? "location id " + std::to_string(id)
                        : std::string("not in the list, location id 1 is sent"))
            << "\n";
    }

    switch (manager.HasColumn("Log", "FileName", error)) {
        case 1:
            out << "Log.FileName: present (log entries carry the file name)\n";
            break;
        case 0:
            out << "Log.FileName: absent (log entries without the file name)";
            if (!error.empty()) out << " - " << error;
            out << "\n";
            break;
        default:
            out << "Log.FileName: probe failed - " << error << "\n";
            status = 1;
            break;
    }
    out << "Reporting: " << (service.LogToDatabase != 0 ? "on" : "off")
        << " (LogToDatabase=" << service.LogToDatabase << ")\n";
    return status;
}

}  // namespace plexivar
