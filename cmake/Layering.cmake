# The direction of dependence between the product's folders: each folder may include headers
# from, and link libraries of, only itself and the folders listed for it. The build checks the
# libraries' links against this table when it configures, and the test command checks every
# include (cmake/CheckLayering.cmake). The layout section of docs/DEVELOPING.md draws the same picture.
#
#   ui, cli  ---->  discovery  ---->  cuda, dml  ---->  core
#       |                                               ^
#       +------->  presentation  -----------------------+
#
# A folder may use every folder that its arrows reach, directly or further down.
# resources/ (the dialog template's control ids) sits beside core/, for presentation/ and ui/.
set(MIVARO_LAYERS core resources cuda dml discovery presentation ui cli)
set(MIVARO_LAYER_core "")
set(MIVARO_LAYER_resources "")
set(MIVARO_LAYER_cuda core)
set(MIVARO_LAYER_dml core)
set(MIVARO_LAYER_discovery core cuda dml)
set(MIVARO_LAYER_presentation core resources)
set(MIVARO_LAYER_ui core resources cuda dml discovery presentation)
set(MIVARO_LAYER_cli core cuda dml discovery presentation)
