#include "data/data_module.h"

#include <exception>

#include "data/connection_string.h"
#include "data/ini_file.h"

namespace risview::data {

Options readOptions(const Environment& env, const std::string& directory) {
  std::optional<std::string> bytes = env.readFile(directory + "\\RisOption.ini");
  IniFile ini = bytes ? IniFile::parse(*bytes) : IniFile::empty();
  Options o;
  o.risServer = ini.read("RISDATASET", "SERVER");
  o.risDatabase = ini.read("RISDATASET", "DataBaseName");
  o.risUser = ini.read("RISDATASET", "USER");
  o.risPassword = ini.read("RISDATASET", "PASSWORD");
  o.dicomServer = ini.read("DICOMDATASET", "SERVER");
  o.dicomDatabase = ini.read("DICOMDATASET", "DataBaseName");
  o.dicomUser = ini.read("DICOMDATASET", "USER");
  o.dicomPassword = ini.read("DICOMDATASET", "PASSWORD");
  o.webUrl = ini.read("DICOMWEBURL", "WEBURL");
  o.webUser = ini.read("DICOMWEBURL", "USER");
  o.webPassword = ini.read("DICOMWEBURL", "PASSWORD");
  // Not one of the eleven: a site whose machines lack the classic "SQL Server" driver
  // names the one they have.
  o.risDriver = ini.read("RISDATASET", "Driver");
  o.dicomDriver = ini.read("DICOMDATASET", "Driver");
  return o;
}

TdmRIS::TdmRIS(const Services& services) : services_(services) {
  DataModuleCreate();
}

void TdmRIS::DataModuleCreate() {
  Options o;
  try {
    o = readOptions(services_.env, services_.env.currentDirectory());
  } catch (const std::exception&) {
    // An unreadable option file shows up only as failed connections.
  }
  FWebURL = o.webUrl;
  FWebUser = o.webUser;
  FWebPassword = o.webPassword;
  const std::string ris =
      buildOleDbConnectionString(o.risServer, o.risDatabase, o.risUser, o.risPassword);
  const std::string dicom =
      buildOleDbConnectionString(o.dicomServer, o.dicomDatabase, o.dicomUser, o.dicomPassword);

  openStep(con, ris, o.risDriver, "RIS连接开始", "RIS成功连接", "RIS连接失败！");
  openStep(conRisDicom, ris, o.risDriver, "NORVSERVER连接开始", "NORVSERVER成功连接",
           "NORVSERVER连接失败！");
  openStep(conDICOM, dicom, o.dicomDriver, "WEBSERVER连接开始", "WEBSERVER成功连接",
           "WEBSERVER连接失败！");
}

void TdmRIS::openStep(Connection& connection, const std::string& oledb, const std::string& driver,
                      const char* starting, const char* done, const char* failed) {
  try {
    connection.setConnectionString(oledb, driver);
    services_.debug.write(starting);
    connection.open();
    services_.debug.write(done);
  } catch (const std::exception&) {
    services_.boxes.show(failed, services_.applicationTitle, mb::kOk);
    // Any local program can read debugger output, so the password never goes there.
    services_.debug.write(maskPassword(oledb));
  }
}

}  // namespace risview::data
