# The page in WebKitGTK: MiniBrowser on a private Xvfb, driven through
# WebKitWebDriver by Debian's python3-selenium (webkit_tests.py), with the
# page tests' config.json. Skipped where WebKitGTK's driver is not installed.

# name, then the driver's arguments: test, scale.
function(kestivo_webkit_test name)
    add_test(NAME web.webkit_${name}
        COMMAND ${KESTIVO_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/webkit_tests.py ${driver}/config.json ${ARGN})
    # One browser at a time: MiniBrowser and its web process fill this machine's cores.
    set_tests_properties(web.webkit_${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120
        RESOURCE_LOCK web_browser)
endfunction()
kestivo_webkit_test(layout layout 1)
kestivo_webkit_test(exact_1x exact 1)
kestivo_webkit_test(exact_2x exact 2)
kestivo_webkit_test(keyboard keyboard 1)
kestivo_webkit_test(input input 1)
kestivo_webkit_test(ending ending 1)
kestivo_webkit_test(fitted_2x fitted 2)
