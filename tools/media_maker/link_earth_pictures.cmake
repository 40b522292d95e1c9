# cmake -DPICTURES=FOLDER -DMEDIA=FOLDER -P link_earth_pictures.cmake
# Links the Earth's day and night pictures of Debian's xplanet-images package into the
# media folder, as earth.jpg and night.jpg, where the package is installed; a link left
# from an earlier build is removed where it is not. Nothing is copied: the pictures stay
# the package's (GPL-2+), and `cmake --install` installs the links as links.
foreach(name earth.jpg night.jpg)
  if(EXISTS "${PICTURES}/${name}")
    file(CREATE_LINK "${PICTURES}/${name}" "${MEDIA}/${name}" SYMBOLIC)
  elseif(IS_SYMLINK "${MEDIA}/${name}")
    file(REMOVE "${MEDIA}/${name}")
  endif()
endforeach()
