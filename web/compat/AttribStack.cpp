// glPushAttrib and glPopAttrib, which emscripten's fixed-function emulation
// lacks, for the state the demo's scenes change: the enables (depth test,
// face culling, blending, 2D texturing), the blend function, the current
// colour and the bound texture. Warming the scenes up (warmScenes) brackets
// its drawing with them, so the show's first frame starts from the state it
// would have had without the warm-up. The mask is taken as "all of it".
#include <emscripten.h>

// clang-format off
EM_JS(void, glPushAttrib, (unsigned mask), {
    var stack = Module['brakvaneAttribStack'] || (Module['brakvaneAttribStack'] = []);
    var texture = GLctx.getParameter(GLctx.TEXTURE_BINDING_2D);
    stack.push({
        depthTest : GLctx.isEnabled(GLctx.DEPTH_TEST),
        cullFace : GLctx.isEnabled(GLctx.CULL_FACE),
        blend : GLctx.isEnabled(GLctx.BLEND),
        texture2D : GLImmediate.TexEnvJIT.getTexUnitType(0) == 0xDE1,
        blendFunc : [
            GLctx.getParameter(GLctx.BLEND_SRC_RGB), GLctx.getParameter(GLctx.BLEND_DST_RGB),
            GLctx.getParameter(GLctx.BLEND_SRC_ALPHA), GLctx.getParameter(GLctx.BLEND_DST_ALPHA)
        ],
        color : GLImmediate.clientColor.slice(),
        texture : texture ? GL.textures.indexOf(texture) : 0
    });
});

EM_JS(void, glPopAttrib, (), {
    var stack = Module['brakvaneAttribStack'];
    if (!stack || !stack.length)
        return;
    var saved = stack.pop();
    var set = function(cap, on) { on ? _glEnable(cap) : _glDisable(cap); };
    set(0xB71, saved.depthTest);
    set(0xB44, saved.cullFace);
    set(0xBE2, saved.blend);
    set(0xDE1, saved.texture2D);
    GLctx.blendFuncSeparate(saved.blendFunc[0], saved.blendFunc[1], saved.blendFunc[2], saved.blendFunc[3]);
    _glColor4f(saved.color[0], saved.color[1], saved.color[2], saved.color[3]);
    _glBindTexture(0xDE1, Math.max(saved.texture, 0));
});
// clang-format on
