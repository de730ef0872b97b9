# SPDX-License-Identifier: GPL-3.0-or-later
# JUCE 7 from Debian's juce-modules-source, compiled once into one static library.
#
# JUCE's module targets are INTERFACE libraries that add the module sources to whoever links
# them. Linking them PRIVATE into a single static library compiles them exactly once; the
# include paths and definitions are then handed on to everything that links brisquell_juce.
find_package(JUCE 7.0.5 CONFIG REQUIRED)
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(BRISQUELL_FREETYPE REQUIRED IMPORTED_TARGET freetype2 fontconfig libpng libjpeg)

add_library(brisquell_juce STATIC)

target_link_libraries(brisquell_juce
    PRIVATE
        juce::juce_core
        juce::juce_events
        juce::juce_data_structures
        juce::juce_graphics
        juce::juce_gui_basics
        juce::juce_gui_extra
        juce::juce_audio_basics
        juce::juce_audio_processors)

# The plug-in's characteristics are visible to every translation unit, so that the JUCE modules,
# the processor and every format's client agree on them: the same name, vendor, codes and
# version in the VST 2.4, VST3 and LV2 binaries and the JACK app.
#
# LV2 and VST3 hosting is compiled in for the tests' second host (tests/formats), which loads the
# built LV2 and VST3 binaries through the framework's own hosting classes. The VST3 client then
# takes the VST3 SDK's sources from this library instead of compiling its own copy. The LV2 URI is
# no characteristic of the library: it is defined on the LV2 target alone (lv2/CMakeLists.txt).
# The version is the project's (the top CMakeLists.txt): the VST 2.4 binary reports the code
# 0xMMmmpp (1.1.0 is 0x00010100), VST3 and LV2 hosts read the string and its parts, the JACK app
# prints the string, and the packages carry it.
if(PROJECT_VERSION_MINOR GREATER 255 OR PROJECT_VERSION_PATCH GREATER 255 OR PROJECT_VERSION_PATCH STREQUAL "")
    message(FATAL_ERROR "The version ${PROJECT_VERSION} needs three parts, the second and third up to 255")
endif()
math(EXPR _version_code "(${PROJECT_VERSION_MAJOR} << 16) | (${PROJECT_VERSION_MINOR} << 8) | ${PROJECT_VERSION_PATCH}"
     OUTPUT_FORMAT HEXADECIMAL)
string(SUBSTRING "${_version_code}" 2 -1 _version_code)
string(PREPEND _version_code "00000000")
string(LENGTH "${_version_code}" _version_length)
math(EXPR _version_start "${_version_length} - 8")
string(SUBSTRING "${_version_code}" ${_version_start} 8 _version_code)
set(BRISQUELL_VERSION_CODE "0x${_version_code}" CACHE INTERNAL "The version as the VST 2.4 binary reports it")

set(BRISQUELL_JUCE_DEFINITIONS
    JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
    JUCE_STANDALONE_APPLICATION=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_USE_DARK_SPLASH_SCREEN=1
    JUCE_REPORT_APP_USAGE=0
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_LOAD_CURL_SYMBOLS_LAZILY=1
    JUCE_PLUGINHOST_VST=0
    JUCE_PLUGINHOST_VST3=1
    JUCE_PLUGINHOST_LADSPA=0
    JUCE_PLUGINHOST_LV2=1
    JUCE_PLUGINHOST_AU=0
    JUCE_VST3_CAN_REPLACE_VST2=0
    JUCE_VST3_EMULATE_MIDI_CC_WITH_PARAMETERS=1
    JUCE_MODAL_LOOPS_PERMITTED=0
    JUCE_VST_RETURN_HEX_VERSION_NUMBER_DIRECTLY=1
    JucePlugin_Build_VST=1
    JucePlugin_Build_VST3=1
    JucePlugin_Build_AU=0
    JucePlugin_Build_AUv3=0
    JucePlugin_Build_AAX=0
    JucePlugin_Build_Standalone=0
    JucePlugin_Build_Unity=0
    JucePlugin_Build_LV2=1
    JucePlugin_Enable_ARA=0
    JucePlugin_Name="Brisquellum"
    JucePlugin_Desc="Brisquellum"
    JucePlugin_Manufacturer="K4TZ"
    JucePlugin_ManufacturerWebsite=""
    JucePlugin_ManufacturerEmail=""
    JucePlugin_ManufacturerCode=0x4b34545a
    JucePlugin_PluginCode=0x7a716c77
    JucePlugin_IsSynth=0
    JucePlugin_WantsMidiInput=1
    JucePlugin_ProducesMidiOutput=1
    JucePlugin_IsMidiEffect=0
    JucePlugin_EditorRequiresKeyboardFocus=0
    JucePlugin_VersionCode=${BRISQUELL_VERSION_CODE}
    JucePlugin_VersionString="${PROJECT_VERSION}"
    JucePlugin_VSTUniqueID=JucePlugin_PluginCode
    JucePlugin_VSTCategory=kPlugCategEffect
    JucePlugin_Vst3Category="Fx"
    JucePlugin_AUMainType=0
    JucePlugin_AUSubType=JucePlugin_PluginCode
    JucePlugin_AUExportPrefix=BrisquellumAU
    JucePlugin_AUExportPrefixQuoted="BrisquellumAU"
    JucePlugin_AUManufacturerCode=JucePlugin_ManufacturerCode
    JucePlugin_CFBundleIdentifier=com.k4tz.brisquellum
    JucePlugin_AAXIdentifier=com.k4tz.brisquellum
    JucePlugin_AAXManufacturerCode=JucePlugin_ManufacturerCode
    JucePlugin_AAXProductId=JucePlugin_PluginCode
    JucePlugin_AAXCategory=0
    JucePlugin_AAXDisableBypass=0
    JucePlugin_AAXDisableMultiMono=0
    JucePlugin_VSTNumMidiInputs=16
    JucePlugin_VSTNumMidiOutputs=16)

target_compile_definitions(brisquell_juce PUBLIC ${BRISQUELL_JUCE_DEFINITIONS})
target_include_directories(brisquell_juce PUBLIC "${JUCE_MODULES_DIR}")
target_link_libraries(brisquell_juce PUBLIC Threads::Threads PkgConfig::BRISQUELL_FREETYPE ${CMAKE_DL_LIBS} rt)

# Hand on what JUCE's module targets set (include paths, platform definitions such as LINUX=1).
foreach(_module juce_core juce_events juce_data_structures juce_graphics juce_gui_basics juce_gui_extra
                juce_audio_basics juce_audio_processors)
    target_include_directories(brisquell_juce PUBLIC $<TARGET_PROPERTY:juce::${_module},INTERFACE_INCLUDE_DIRECTORIES>)
    target_compile_definitions(brisquell_juce PUBLIC $<TARGET_PROPERTY:juce::${_module},INTERFACE_COMPILE_DEFINITIONS>)
endforeach()

# JUCE's VST client includes pluginterfaces/vst2.x/aeffect(x).h: this folder forwards them to
# Debian's clean-room FST headers.
find_path(BRISQUELL_FST_INCLUDE pluginterfaces/fst/aeffectx.h REQUIRED)
set(BRISQUELL_VST2_SHIM "${CMAKE_CURRENT_LIST_DIR}/vst2")
