# Each layer's library sees its own layer and the layers below it, and nothing above: an include of
# a higher layer by its path ("form/x.h" or <form/x.h> in src/profile) fails to build. Every layer
# gets an include folder of its own in the build tree, made at configure time, that holds links
# to src/<layer> for the layers it may see; sources go on including "layer/x.h" as they stand.
# tools/check_layers.sh catches what no include folder can (an include by a relative path).

# The layers from the bottom up. The window (ui) and the batch tool (cli) stand side by side on top:
# each sees every layer of this list and itself, never the other.
set(QUILLONDE_LAYERS runtime depth profile formats form plot)
set(QUILLONDE_TOP_LAYERS ui cli)

# The include folder of `layer`, for tests that compile against it.
function(quillonde_layer_folder layer result)
    set(${result} ${PROJECT_BINARY_DIR}/layers/${layer} PARENT_SCOPE)
endfunction()

# quillonde_layer(TARGET LAYER): TARGET, the library of LAYER, and what links to it see LAYER's
# include folder.
function(quillonde_layer target layer)
    list(FIND QUILLONDE_LAYERS ${layer} rank)
    if(rank GREATER_EQUAL 0)
        math(EXPR count "${rank} + 1")
        list(SUBLIST QUILLONDE_LAYERS 0 ${count} seen)
    elseif(layer IN_LIST QUILLONDE_TOP_LAYERS)
        set(seen ${QUILLONDE_LAYERS} ${layer})
    else()
        message(FATAL_ERROR "\"${layer}\" is no layer: ${QUILLONDE_LAYERS} ${QUILLONDE_TOP_LAYERS}")
    endif()
    quillonde_layer_folder(${layer} folder)
    file(MAKE_DIRECTORY ${folder})
    foreach(other IN LISTS QUILLONDE_LAYERS QUILLONDE_TOP_LAYERS)
        if(other IN_LIST seen)
            file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${other} ${folder}/${other} SYMBOLIC)
        elseif(IS_SYMLINK ${folder}/${other})
            # Left by an older layering: the link alone goes, never what it points to.
            file(REMOVE ${folder}/${other})
        endif()
    endforeach()
    target_include_directories(${target} PUBLIC ${folder})
endfunction()
