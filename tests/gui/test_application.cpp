// The whole program in-process: start-up, the warning that must be
// accepted, and the port preference across two runs. Each run happens in a
// child process (a death test), because leaving the warning unaccepted ends
// the process and every run builds the program-wide windows anew.

#include "gui_test_support.h"

#include "app/application.h"
#include "app/command_line.h"
#include "app/autoscrolling_text_display.h"
#include "app/comm_setup.h"
#include "app/main_window.h"
#include "app/port_choice.h"
#include "app/warning_window.h"

#include "firmware/firmware_catalogue.h"
#include "firmware/resource_store.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kTestPort = "/dev/t3xx-test-port";

// The user's preferences file of the program under the test's HOME.
fs::path userPreferencesFile()
{
    return fs::path(std::getenv("HOME")) / ".fltk" / "t3xx" / "T310Update.prefs";
}

class Application : public ::testing::Test {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        machineFolder = (fs::path(std::getenv("HOME")) / "machine-preferences").string();
        setPreferenceFolders({"", machineFolder.c_str()});
    }
    // Only the parent gets here: a run in a child process re-runs the test
    // up to its own run and exits there, so the file of the first run
    // survives for the second.
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove(userPreferencesFile(), ignored);
    }

    // Runs the program with args, calling step once the warning is shown.
    [[noreturn]] static void run(std::vector<const char*> args, Fl_Timeout_Handler step)
    {
        args.insert(args.begin(), "t3xx-update");
        args.push_back(nullptr);
        Fl::add_timeout(0.05, whenWarningShown, reinterpret_cast<void*>(step));
        std::exit(runApplication(static_cast<int>(args.size()) - 1, const_cast<char**>(args.data())));
    }

    static void whenWarningShown(void* step)
    {
        if (warningWindow == nullptr || !warningWindow->shown())
            Fl::repeat_timeout(0.05, whenWarningShown, step);
        else
            reinterpret_cast<Fl_Timeout_Handler>(step)(nullptr);
    }

    std::string machineFolder;
};

// Ends the child with status 3 and a reason when a check inside it fails.
void require(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "check failed in the program: %s\n", what);
    std::exit(3);
}

void acceptAndClose(void*)
{
    require(!fileGroup->visible() && !debugButton->visible() && firmwareGroup->visible(),
            "file group and debug button hidden, firmware group shown");
    require(std::strcmp(mainWindow->label(), "T310 / T320 Update V3.46") == 0, "title with the version");
    char* text = logDisplay->buffer()->text();
    const bool titleLogged = std::strcmp(text, "T310 / T320 Update V3.46\n") == 0;
    std::free(text);
    require(titleLogged, "title written to the log");
    require(firmwareChoice310->size() - 1 == 5 && firmwareChoice310->value() == 0, "five T310 variants, first");
    require(firmwareChoice320->size() - 1 == 1 && firmwareChoice320->value() == 0, "one T320 image, selected");
    require(std::strcmp(firmwareChoice310->text(), "T310 (DE, EN, FR)   German, English, French") == 0,
            "T310 descriptions in catalogue order");
    require(std::strcmp(portChoice->text(), kTestPort) == 0, "the --port name is selected");
    require(warningWindow->shown() && warningWindow->modal(), "the modal warning is shown");
    require(warningWindow->x() == mainWindow->x() + 87 && warningWindow->y() == mainWindow->y() + 70,
            "warning placed at main + (87, 70)");
    acceptCheck->value(1);
    warningWindow->child(1)->do_callback();  // OK
    require(!warningWindow->shown() && mainWindow->shown(), "accepted: the warning hides, the main window stays");
    mainWindow->do_callback();  // the close control
}

void checkLoadedPreference(void*)
{
    require(std::strcmp(portPreference, kTestPort) == 0, "the port saved by the last run was loaded");
    acceptCheck->value(1);
    warningWindow->do_callback();
    mainWindow->do_callback();
}

TEST_F(Application, AcceptedRunSavesThePortAndTheNextStartLoadsIt)
{
    EXPECT_EXIT(run({"--port", kTestPort}, acceptAndClose), ::testing::ExitedWithCode(0), "");
    loadPortPreference();
    EXPECT_STREQ(portPreference, kTestPort);
    EXPECT_EXIT(run({}, checkLoadedPreference), ::testing::ExitedWithCode(0), "");
}

TEST_F(Application, WarningLeftWithOkUnacceptedEndsWithStatus1AndSavesNothing)
{
    EXPECT_EXIT(run({"--port", kTestPort}, [](void*) { warningWindow->child(1)->do_callback(); }),
                ::testing::ExitedWithCode(1), "");
    EXPECT_FALSE(fs::exists(userPreferencesFile()));
}

TEST_F(Application, WarningClosedUnacceptedEndsWithStatus1)
{
    EXPECT_EXIT(run({}, [](void*) { warningWindow->do_callback(); }), ::testing::ExitedWithCode(1), "");
    EXPECT_EXIT(run({},
                    [](void*) {
                        Fl::e_keysym = FL_Escape;
                        Fl::handle(FL_KEYBOARD, warningWindow);
                    }),
                ::testing::ExitedWithCode(1), "");
    EXPECT_FALSE(fs::exists(userPreferencesFile()));
}

// A string table with only a version string (or none).
class VersionOnlyStore : public ResourceStore {
public:
    explicit VersionOnlyStore(std::optional<std::string_view> version) : version_(version) {}
    std::optional<std::string_view> string(int id) const override
    {
        return id == 0 ? version_ : std::nullopt;
    }
    std::size_t blobCount() const override { return 0; }
    ResourceBlob blob(std::size_t) const override { return {}; }

private:
    std::optional<std::string_view> version_;
};

std::string startRefusal(std::optional<std::string_view> version)
{
    VersionOnlyStore store(version);
    FirmwareCatalogue catalogue(store);
    catalogue.buildCatalogue();
    std::string alerted;
    const int code = checkFirmwareVersion(catalogue, [&](const char* text) { alerted = text; });
    return std::to_string(code) + " " + alerted;
}

TEST(StartUp, RefusesToStartWithoutAReadableFirmwareVersion)
{
    EXPECT_EQ(startRefusal(std::nullopt), "1 Resource error!");
    EXPECT_EQ(startRefusal("3.46"), "1 Resource not found!");
    EXPECT_EQ(startRefusal("V3.46r2"), "0 ");
}

TEST_F(Application, UnknownOptionIsRefused)
{
    CommandLine commandLine;
    std::vector<const char*> args = {"t3xx-update", "--no-such-option"};
    EXPECT_EQ(parseCommandLine(2, const_cast<char**>(args.data()), commandLine), 2);
    args = {"t3xx-update"};
    EXPECT_EQ(parseCommandLine(1, const_cast<char**>(args.data()), commandLine), -1);
    EXPECT_EQ(commandLine.port, nullptr);
}

}  // namespace
