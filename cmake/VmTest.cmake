# mirelo_add_vm_test(NAME [USB_MIDI] [TIMEOUT seconds] [LABELS ...]
#                    COPY paths... COMMAND command args...)
# Runs COMMAND inside the project's test VM (tests/vm/vm-run): a real ALSA
# sequencer with Midi Through and four virmidi cards, plus a USB MIDI
# instrument with USB_MIDI. Where no VM can be had the test is skipped with
# the reason; MIRELO_VM_REQUIRED=1 makes that a failure.
function(mirelo_add_vm_test name)
  cmake_parse_arguments(PARSE_ARGV 1 VM "USB_MIDI" "TIMEOUT" "COPY;COMMAND;LABELS")
  if(NOT VM_TIMEOUT)
    set(VM_TIMEOUT 240)
  endif()
  set(runner_args --timeout ${VM_TIMEOUT} --skip-code 77)
  if(VM_USB_MIDI)
    list(APPEND runner_args --usb-midi)
  endif()
  foreach(path IN LISTS VM_COPY)
    list(APPEND runner_args --copy ${path})
  endforeach()
  add_test(NAME ${name} COMMAND bash ${PROJECT_SOURCE_DIR}/tests/vm/vm-run ${runner_args} -- ${VM_COMMAND})
  # The margin covers a first run that builds the VM's cache.
  math(EXPR ctest_timeout "${VM_TIMEOUT} + 120")
  set_tests_properties(${name} PROPERTIES
    SKIP_RETURN_CODE 77
    TIMEOUT ${ctest_timeout}
    RESOURCE_LOCK mirelo_vm # two emulated VMs on two cores would starve each other's timing
    LABELS "vm;${VM_LABELS}")
endfunction()
